#include "pages/FieldBinder.h"

#include "common/FieldText.h"
#include "widgets/StepSpinBox.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPoint>
#include <QSpinBox>
#include <QTextEdit>
#include <QVariant>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

uint32_t readWord(const char* record, size_t offset)
{
    uint32_t value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

void writeWord(char* record, size_t offset, uint32_t value)
{
    std::memcpy(record + offset, &value, sizeof value);
}

qint64 clampTo(qint64 value, qint64 low, qint64 high)
{
    return value < low ? low : (value > high ? high : value);
}

// A whole number for a field of type T, clamped to the type's range.
template <typename T>
T toField(qint64 value)
{
    return T(clampTo(value, qint64(std::numeric_limits<T>::min()), qint64(std::numeric_limits<T>::max())));
}

int lowestBit(uint32_t mask)
{
    int shift = 0;
    while (mask && !(mask & 1u)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

} // namespace

// One widget and the pieces of the container it stands for.
class FieldBinder::Binding
{
public:
    virtual ~Binding() = default;
    virtual QWidget* widget() const = 0;
    // Shows the record (the whole container's bytes).
    virtual void show(const char* record) = 0;
    virtual QVariant state() const = 0;
    // The converted widget value; may leave the target as it is.
    virtual void store(char* record) const = 0;
    // Whether the loaded bytes go back while unedited; false keeps the target's.
    virtual bool writesLoaded() const { return true; }

    std::vector<Piece> pieces;
    QByteArray loaded;
    QVariant shown;
    bool hasLoaded = false;
};

namespace {

using Binding = FieldBinder::Binding;
using Piece = FieldBinder::Piece;

template <typename T>
T readField(const char* record, const Piece& piece)
{
    T value;
    std::memcpy(&value, record + piece.offset, sizeof value);
    return value;
}

template <typename T>
void writeField(char* record, const Piece& piece, T value)
{
    std::memcpy(record + piece.offset, &value, sizeof value);
}

template <typename T>
class SpinBinding : public Binding
{
public:
    SpinBinding(QSpinBox* box, int factor) : box(box), factor(factor) {}
    QWidget* widget() const override { return box; }
    void show(const char* record) override
    {
        const qint64 value = qint64(readField<T>(record, pieces[0])) * factor;
        box->setValue(int(clampTo(value, box->minimum(), box->maximum())));
    }
    QVariant state() const override { return box->value(); }
    void store(char* record) const override
    {
        writeField<T>(record, pieces[0], toField<T>(qint64(box->value()) / factor));
    }

private:
    QSpinBox* box;
    int factor;
};

class FloatBinding : public Binding
{
public:
    explicit FloatBinding(QDoubleSpinBox* box) : box(box) {}
    QWidget* widget() const override { return box; }
    void show(const char* record) override
    {
        // NaN has no place on a scale: it shows 0 (held in the range); infinities show the ends.
        const float value = readField<float>(record, pieces[0]);
        box->setValue(std::isnan(value) ? 0.0 : qBound(box->minimum(), double(value), box->maximum()));
    }
    QVariant state() const override { return box->value(); }
    void store(char* record) const override { writeField<float>(record, pieces[0], float(box->value())); }

private:
    QDoubleSpinBox* box;
};

class TenthBinding : public Binding
{
public:
    explicit TenthBinding(QDoubleSpinBox* box) : box(box) {}
    QWidget* widget() const override { return box; }
    void show(const char* record) override
    {
        const double scale = std::pow(10.0, box->decimals());
        box->setValue(double(qRound64(readField<uint32_t>(record, pieces[0]) / 10.0 * scale)) / scale);
    }
    QVariant state() const override { return box->value(); }
    void store(char* record) const override
    {
        // 25.3 * 10 is 252.999...: rounding, not truncation, gives the 253 that was shown.
        writeField<uint32_t>(record, pieces[0], toField<uint32_t>(std::llround(box->value() * 10.0)));
    }

private:
    QDoubleSpinBox* box;
};

template <typename T>
class StepBinding : public Binding
{
public:
    StepBinding(StepSpinBox* box) : box(box) {}
    QWidget* widget() const override { return box; }
    void show(const char* record) override
    {
        box->setValue(toField<int>(readField<T>(record, pieces[0])), toField<int>(readField<T>(record, pieces[1])));
    }
    QVariant state() const override { return QPoint(box->getStep(), box->getUStep()); }
    void store(char* record) const override
    {
        writeField<T>(record, pieces[0], toField<T>(box->getStep()));
        writeField<T>(record, pieces[1], toField<T>(box->getUStep()));
    }

private:
    StepSpinBox* box;
};

void showChecked(QGroupBox* group, bool on)
{
    group->setChecked(on);
}

void showChecked(QAbstractButton* button, bool on)
{
    if (on || !button->isChecked()) {
        button->setChecked(on);
        return;
    }
    // The checked button of an exclusive set refuses to be unchecked, and would go on showing
    // the bit set: the exclusivity is lifted for the uncheck.
    QButtonGroup* group = button->group();
    const bool groupExclusive = group && group->exclusive();
    const bool autoExclusive = button->autoExclusive();
    if (groupExclusive)
        group->setExclusive(false);
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(autoExclusive);
    if (groupExclusive)
        group->setExclusive(true);
}

// A check box, radio button or checkable group box.
template <typename Checkable>
class FlagBinding : public Binding
{
public:
    explicit FlagBinding(Checkable* button) : button(button) {}
    QWidget* widget() const override { return button; }
    void show(const char* record) override
    {
        showChecked(button, (readWord(record, pieces[0].offset) & pieces[0].mask) == pieces[0].mask);
    }
    QVariant state() const override { return button->isChecked(); }
    void store(char* record) const override
    {
        uint32_t value = readWord(record, pieces[0].offset);
        value = button->isChecked() ? (value | pieces[0].mask) : (value & ~pieces[0].mask);
        writeWord(record, pieces[0].offset, value);
    }

private:
    Checkable* button;
};

// Combos whose entries stand for codes of some bits; an entry index of -1 stores nothing.
class ComboBinding : public Binding
{
public:
    ComboBinding(QComboBox* combo, std::function<int(uint32_t)> indexOf, std::function<uint32_t(int)> codeOf)
        : combo(combo), indexOf(std::move(indexOf)), codeOf(std::move(codeOf))
    {
    }
    QWidget* widget() const override { return combo; }
    void show(const char* record) override
    {
        const int index = indexOf(readWord(record, pieces[0].offset) & pieces[0].mask);
        if (index == keepIndex) {
            return;
        }
        combo->setCurrentIndex(index < combo->count() ? index : -1);
    }
    // What indexOf returns to leave the combo as it is.
    static const int keepIndex = -2;
    QVariant state() const override { return combo->currentIndex(); }
    void store(char* record) const override
    {
        const int index = combo->currentIndex();
        if (index < 0) {
            return;
        }
        const uint32_t mask = pieces[0].mask;
        const uint32_t value = readWord(record, pieces[0].offset);
        writeWord(record, pieces[0].offset, (value & ~mask) | (codeOf(index) & mask));
    }

private:
    QComboBox* combo;
    std::function<int(uint32_t)> indexOf;
    std::function<uint32_t(int)> codeOf;
};

class RadioBinding : public Binding
{
public:
    RadioBinding(const std::vector<FieldBinder::Choice>& choices, QAbstractButton* unknown, bool wholeField)
        : choices(choices), unknown(unknown), wholeField(wholeField)
    {
    }
    QWidget* widget() const override { return choices.empty() ? nullptr : choices.front().button; }
    void show(const char* record) override
    {
        const uint32_t code = readWord(record, pieces[0].offset) & pieces[0].mask;
        matched = false;
        for (const auto& choice : choices) {
            if ((choice.code & pieces[0].mask) == code) {
                choice.button->setChecked(true);
                matched = true;
                return;
            }
        }
        if (unknown) {
            unknown->setChecked(true);
        }
    }
    QVariant state() const override
    {
        for (size_t i = 0; i < choices.size(); ++i) {
            if (choices[i].button->isChecked()) {
                return int(i);
            }
        }
        return -1;
    }
    void store(char* record) const override
    {
        const int index = state().toInt();
        if (index < 0) {
            return;
        }
        const uint32_t mask = pieces[0].mask;
        const uint32_t value = readWord(record, pieces[0].offset);
        writeWord(record, pieces[0].offset, (value & ~mask) | (choices[size_t(index)].code & mask));
    }
    bool writesLoaded() const override { return matched || !wholeField; }

    std::vector<FieldBinder::Choice> choices;

private:
    QAbstractButton* unknown;
    bool wholeField;
    bool matched = false;
};

class TextBinding : public Binding
{
public:
    TextBinding(QWidget* edit, std::function<QString()> get, std::function<void(const QString&)> set)
        : edit(edit), get(std::move(get)), set(std::move(set))
    {
    }
    QWidget* widget() const override { return edit; }
    void show(const char* record) override { set(readFieldText(record + pieces[0].offset, pieces[0].size)); }
    QVariant state() const override { return get(); }
    void store(char* record) const override { writeFieldText(get(), record + pieces[0].offset, pieces[0].size); }

private:
    QWidget* edit;
    std::function<QString()> get;
    std::function<void(const QString&)> set;
};

void writeLoaded(const Binding& binding, char* record)
{
    int at = 0;
    for (const Piece& piece : binding.pieces) {
        if (piece.size == sizeof(uint32_t)) {
            uint32_t loaded;
            std::memcpy(&loaded, binding.loaded.constData() + at, sizeof loaded);
            const uint32_t value = readWord(record, piece.offset);
            writeWord(record, piece.offset, (value & ~piece.mask) | (loaded & piece.mask));
        } else {
            std::memcpy(record + piece.offset, binding.loaded.constData() + at, piece.size);
        }
        at += int(piece.size);
    }
}

} // namespace

FieldBinder::FieldBinder(const void* container, size_t size)
    : base(static_cast<const char*>(container)), size(size), unitsSet(false)
{
}

FieldBinder::~FieldBinder() = default;

size_t FieldBinder::offsetOf(const void* field, size_t fieldSize) const
{
    const char* at = static_cast<const char*>(field);
    Q_ASSERT(at >= base && at + fieldSize <= base + size);
    Q_UNUSED(fieldSize);
    return size_t(at - base);
}

FieldBinder::Piece FieldBinder::word(const uint32_t* field, uint32_t mask) const
{
    return Piece{offsetOf(field, sizeof *field), sizeof *field, mask};
}

void FieldBinder::add(Binding* binding)
{
    bindings.emplace_back(binding);
}

void FieldBinder::plain(QSpinBox* box, const uint32_t* field)
{
    auto* binding = new SpinBinding<uint32_t>(box, 1);
    binding->pieces = {word(field, ~0u)};
    add(binding);
}

void FieldBinder::plain(QSpinBox* box, const int32_t* field)
{
    auto* binding = new SpinBinding<int32_t>(box, 1);
    binding->pieces = {Piece{offsetOf(field, sizeof *field), sizeof *field, ~0u}};
    add(binding);
}

void FieldBinder::plain(QDoubleSpinBox* box, const float* field)
{
    auto* binding = new FloatBinding(box);
    binding->pieces = {Piece{offsetOf(field, sizeof *field), sizeof *field, ~0u}};
    add(binding);
}

void FieldBinder::tenfold(QSpinBox* box, const uint32_t* field)
{
    auto* binding = new SpinBinding<uint32_t>(box, 10);
    binding->pieces = {word(field, ~0u)};
    add(binding);
}

void FieldBinder::tenth(QDoubleSpinBox* box, const uint32_t* field)
{
    auto* binding = new TenthBinding(box);
    binding->pieces = {word(field, ~0u)};
    add(binding);
}

void FieldBinder::stepPair(StepSpinBox* box, const int32_t* step, const int32_t* uStep, Unit unit,
                           bool followsDivisor)
{
    auto* binding = new StepBinding<int32_t>(box);
    binding->pieces = {Piece{offsetOf(step, 4), 4, ~0u}, Piece{offsetOf(uStep, 4), 4, ~0u}};
    add(binding);
    addStepBox(box, unit, followsDivisor);
}

void FieldBinder::stepPair(StepSpinBox* box, const uint32_t* step, const uint32_t* uStep, Unit unit,
                           bool followsDivisor)
{
    auto* binding = new StepBinding<uint32_t>(box);
    binding->pieces = {word(step, ~0u), word(uStep, ~0u)};
    add(binding);
    addStepBox(box, unit, followsDivisor);
}

void FieldBinder::addStepBox(StepSpinBox* box, Unit unit, bool followsDivisor)
{
    // As StepSpinBox::setUnitMode: an empty text keeps the suffix the box has.
    suffixed.emplace_back(unit, [box](const QString& text) {
        if (!text.isEmpty()) {
            box->setSuffix(text);
        }
    });
    stepBoxes.push_back(StepBox{box, unit, followsDivisor});
}

void FieldBinder::unitSuffix(QSpinBox* box, Unit unit)
{
    suffixed.emplace_back(unit, [box](const QString& text) { box->setSuffix(text); });
}

void FieldBinder::flagWord(const uint32_t* field, WordStyle style)
{
    words.emplace_back(offsetOf(field, sizeof *field), style);
}

void FieldBinder::flag(QAbstractButton* button, const uint32_t* field, uint32_t mask)
{
    auto* binding = new FlagBinding<QAbstractButton>(button);
    binding->pieces = {word(field, mask)};
    add(binding);
}

void FieldBinder::flag(QGroupBox* group, const uint32_t* field, uint32_t mask)
{
    auto* binding = new FlagBinding<QGroupBox>(group);
    binding->pieces = {word(field, mask)};
    add(binding);
}

void FieldBinder::bitCombo(QComboBox* combo, const uint32_t* field, uint32_t mask, int indexWhenSet)
{
    const int indexWhenClear = indexWhenSet == 0 ? 1 : 0;
    auto* binding = new ComboBinding(
        combo, [=](uint32_t bits) { return bits == mask ? indexWhenSet : indexWhenClear; },
        [=](int index) { return index == indexWhenSet ? mask : 0u; });
    binding->pieces = {word(field, mask)};
    add(binding);
}

void FieldBinder::bitFieldCombo(QComboBox* combo, const uint32_t* field, uint32_t mask)
{
    const int shift = lowestBit(mask);
    auto* binding = new ComboBinding(
        combo, [=](uint32_t bits) { return int(bits >> shift); },
        [=](int index) { return uint32_t(index) << shift; });
    binding->pieces = {word(field, mask)};
    add(binding);
}

void FieldBinder::valueCombo(QComboBox* combo, const uint32_t* field)
{
    auto* binding = new ComboBinding(
        combo, [](uint32_t value) { return value > uint32_t(std::numeric_limits<int>::max()) ? -1 : int(value); },
        [](int index) { return uint32_t(index); });
    binding->pieces = {word(field, ~0u)};
    add(binding);
}

void FieldBinder::codeCombo(QComboBox* combo, const uint32_t* field, uint32_t mask,
                            const std::vector<uint32_t>& codes, int unmatchedIndex)
{
    auto* binding = new ComboBinding(
        combo,
        [=](uint32_t bits) {
            for (size_t i = 0; i < codes.size(); ++i) {
                if ((codes[i] & mask) == bits) {
                    return int(i);
                }
            }
            return unmatchedIndex < 0 ? ComboBinding::keepIndex : unmatchedIndex;
        },
        [=](int index) { return size_t(index) < codes.size() ? codes[size_t(index)] : 0u; });
    binding->pieces = {word(field, mask)};
    add(binding);
}

void FieldBinder::dataCombo(QComboBox* combo, const uint32_t* field, int fallbackIndex)
{
    auto* binding = new ComboBinding(
        combo,
        [combo, fallbackIndex](uint32_t value) {
            const int index = combo->findData(QVariant(uint(value)));
            return index < 0 ? fallbackIndex : index;
        },
        [combo](int index) { return uint32_t(combo->itemData(index).toUInt()); });
    binding->pieces = {word(field, ~0u)};
    add(binding);
}

void FieldBinder::radioGroup(const std::vector<Choice>& storeOrder, const uint32_t* field, uint32_t mask,
                             QAbstractButton* unknown)
{
    const size_t offset = offsetOf(field, sizeof *field);
    bool declared = false;
    for (const auto& w : words) {
        declared = declared || w.first == offset;
    }
    auto* binding = new RadioBinding(storeOrder, unknown, mask == ~0u && !declared);
    binding->pieces = {word(field, mask)};
    add(binding);
}

void FieldBinder::text(QLineEdit* edit, const char* field, size_t capacity)
{
    auto* binding = new TextBinding(
        edit, [edit] { return edit->text(); }, [edit](const QString& text) { edit->setText(text); });
    binding->pieces = {Piece{offsetOf(field, capacity), capacity, ~0u}};
    add(binding);
}

void FieldBinder::text(QTextEdit* edit, const char* field, size_t capacity)
{
    // Plain both ways: a text that looks like HTML is shown as written, never interpreted.
    auto* binding = new TextBinding(
        edit, [edit] { return edit->toPlainText(); }, [edit](const QString& text) { edit->setPlainText(text); });
    binding->pieces = {Piece{offsetOf(field, capacity), capacity, ~0u}};
    add(binding);
}

void FieldBinder::toUi()
{
    for (auto& binding : bindings) {
        binding->loaded.clear();
        for (const Piece& piece : binding->pieces) {
            binding->loaded.append(base + piece.offset, int(piece.size));
        }
        binding->show(base);
    }
    // Taken after every widget was set: a page's own slots may still change what a widget shows.
    for (auto& binding : bindings) {
        binding->shown = binding->state();
        binding->hasLoaded = true;
    }
}

void FieldBinder::fromUi(void* target) const
{
    char* record = static_cast<char*>(target);
    for (const auto& w : words) {
        if (w.second == Rebuild) {
            writeWord(record, w.first, 0);
        }
    }
    for (const auto& binding : bindings) {
        if (binding->hasLoaded && binding->state() == binding->shown) {
            if (binding->writesLoaded()) {
                writeLoaded(*binding, record);
            }
        } else {
            binding->store(record);
        }
    }
}

bool FieldBinder::edited() const
{
    for (const auto& binding : bindings) {
        if (binding->hasLoaded && binding->state() != binding->shown)
            return true;
    }
    return false;
}

QString FieldBinder::unitText(Unit unit) const
{
    switch (unit) {
    case PositionUnit:
        return units.position;
    case SpeedUnit:
        return units.speed;
    case AccelUnit:
        return units.accel;
    case NoUnit:
        break;
    }
    return QString();
}

void FieldBinder::setEngineType(unsigned int engineType, int divisor, const UnitTextSet& texts)
{
    units = texts;
    unitsSet = true;
    // A change of unit mode or divisor is no edit: a field untouched before it stays untouched.
    std::vector<bool> untouched;
    for (const auto& binding : bindings)
        untouched.push_back(binding->hasLoaded && binding->state() == binding->shown);
    for (const StepBox& step : stepBoxes) {
        step.box->setUnitMode(engineType == 3 ? 1 : 0, unitText(step.unit), 0);
        if (step.followsDivisor) {
            step.box->setStepFactor(divisor);
        }
    }
    for (size_t i = 0; i < bindings.size(); ++i) {
        if (untouched[i])
            bindings[i]->shown = bindings[i]->state();
    }
    reapplySuffixes();
}

void FieldBinder::reapplySuffixes()
{
    if (!unitsSet) {
        return;
    }
    for (const auto& entry : suffixed) {
        if (entry.first != NoUnit) {
            entry.second(unitText(entry.first));
        }
    }
}

std::vector<uint8_t> FieldBinder::footprint() const
{
    std::vector<uint8_t> bytes(size, 0);
    auto mark = [&](size_t offset, uint32_t mask) {
        uint8_t maskBytes[4];
        std::memcpy(maskBytes, &mask, 4);
        for (size_t i = 0; i < 4; ++i) {
            bytes[offset + i] |= maskBytes[i];
        }
    };
    for (const auto& binding : bindings) {
        for (const Piece& piece : binding->pieces) {
            if (piece.size == sizeof(uint32_t)) {
                mark(piece.offset, piece.mask);
            } else {
                std::fill(bytes.begin() + long(piece.offset), bytes.begin() + long(piece.offset + piece.size), 0xFF);
            }
        }
    }
    for (const auto& w : words) {
        if (w.second == Rebuild) {
            mark(w.first, ~0u);
        }
    }
    return bytes;
}

uint32_t FieldBinder::shownBits(const uint32_t* field) const
{
    const size_t offset = offsetOf(field, sizeof *field);
    uint32_t bits = 0;
    for (const auto& binding : bindings) {
        for (const Piece& piece : binding->pieces) {
            if (piece.offset == offset && piece.size == sizeof(uint32_t)) {
                bits |= piece.mask;
            }
        }
    }
    return bits;
}

std::vector<size_t> FieldBinder::rebuildWords() const
{
    std::vector<size_t> offsets;
    for (const auto& w : words) {
        if (w.second == Rebuild) {
            offsets.push_back(w.first);
        }
    }
    return offsets;
}

std::vector<QWidget*> FieldBinder::widgets() const
{
    std::vector<QWidget*> list;
    for (const auto& binding : bindings) {
        if (auto* radio = dynamic_cast<RadioBinding*>(binding.get())) {
            for (const auto& choice : radio->choices) {
                list.push_back(choice.button);
            }
        } else if (binding->widget()) {
            list.push_back(binding->widget());
        }
    }
    return list;
}
