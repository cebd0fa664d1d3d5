#ifndef FIELDBINDER_H
#define FIELDBINDER_H

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "settings_model/UnitTexts.h"

class QAbstractButton;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLineEdit;
class QSpinBox;
class QTextEdit;
class QWidget;
class StepSpinBox;

// The mapping between a page's widgets and the fields of its container, declared once in the
// page's constructor. toUi shows the container the binder was made with; fromUi writes any
// container of the same type.
//
// A field the operator did not edit goes back exactly as it was loaded: each binding keeps the
// bytes it loaded and the state its widget showed afterwards, and while the widget still shows
// that state fromUi writes the loaded bytes, whatever the widget clamped, rounded or could not
// show. Only an edit writes the converted widget value.
class FieldBinder
{
public:
    // How fromUi writes a flag word: Merge keeps the bits no widget shows, Rebuild clears them.
    enum WordStyle { Merge, Rebuild };
    enum Unit { NoUnit, PositionUnit, SpeedUnit, AccelUnit };
    struct Choice
    {
        QAbstractButton* button;
        uint32_t code;
    };

    template <typename Container>
    explicit FieldBinder(const Container* container) : FieldBinder(container, sizeof(Container))
    {
    }
    FieldBinder(const void* container, size_t size);
    ~FieldBinder();
    FieldBinder(const FieldBinder&) = delete;
    FieldBinder& operator=(const FieldBinder&) = delete;

    // As held. A u32 beyond the box's range shows the box's end, never a negative number.
    void plain(QSpinBox* box, const uint32_t* field);
    void plain(QSpinBox* box, const int32_t* field);
    void plain(QDoubleSpinBox* box, const float* field);
    // Shown × 10 (in 64 bits, clamped to the box); back ÷ 10 truncated.
    void tenfold(QSpinBox* box, const uint32_t* field);
    // Shown ÷ 10, rounded half away from zero to the box's decimals (not left to the box's text
    // rounding, which rounds half to even); back × 10 rounded to the nearest whole number.
    void tenth(QDoubleSpinBox* box, const uint32_t* field);
    // A whole-step field and its microstep partner in one box. setEngineType switches its mode and
    // suffix, and its divisor when followsDivisor.
    void stepPair(StepSpinBox* box, const int32_t* step, const int32_t* uStep, Unit unit, bool followsDivisor);
    void stepPair(StepSpinBox* box, const uint32_t* step, const uint32_t* uStep, Unit unit, bool followsDivisor);
    // A plain box whose suffix follows the engine type's unit text.
    void unitSuffix(QSpinBox* box, Unit unit);

    // Declares the style of a flag word; words not declared are merged.
    void flagWord(const uint32_t* word, WordStyle style);
    // A check box or radio button standing for the mask bits. A bit shown by a pair of radio
    // buttons (one for set, one for clear) is a radioGroup with the bit as its mask.
    void flag(QAbstractButton* button, const uint32_t* word, uint32_t mask);
    // A checkable group box standing for the mask bits.
    void flag(QGroupBox* group, const uint32_t* word, uint32_t mask);
    // A two-entry combo for one bit: indexWhenSet shows the bit set, the other entry clear.
    void bitCombo(QComboBox* combo, const uint32_t* word, uint32_t mask, int indexWhenSet);
    // The entry index is the value of the mask bits (shifted down to the mask's lowest bit).
    void bitFieldCombo(QComboBox* combo, const uint32_t* word, uint32_t mask);
    // The entry index is the field's value.
    void valueCombo(QComboBox* combo, const uint32_t* field);
    // Entry i stands for codes[i] of the mask bits. A value matching no code shows the entry
    // unmatchedIndex, or leaves the combo as it is when that is -1.
    void codeCombo(QComboBox* combo, const uint32_t* word, uint32_t mask, const std::vector<uint32_t>& codes,
                   int unmatchedIndex);
    // The entry whose item data is the field's value; a value no entry holds shows fallbackIndex.
    void dataCombo(QComboBox* combo, const uint32_t* field, int fallbackIndex);
    // Buttons standing for codes of the mask bits (a whole field when mask is all ones). toUi
    // checks the matching button, else `unknown` when given; fromUi tests the buttons in store
    // order. A whole field whose code no button matched keeps the target's value. Declare the
    // word's style first when the buttons stand for bits of a flag word.
    void radioGroup(const std::vector<Choice>& storeOrder, const uint32_t* field, uint32_t mask,
                    QAbstractButton* unknown);
    // A fixed-size text: UTF-8 read bounded by the field, written as at most N - 1 bytes.
    template <size_t N>
    void text(QLineEdit* edit, const char (&field)[N])
    {
        text(edit, field, N);
    }
    void text(QLineEdit* edit, const char* field, size_t capacity);
    // Multi-line: the edit's plain text is stored.
    template <size_t N>
    void text(QTextEdit* edit, const char (&field)[N])
    {
        text(edit, field, N);
    }
    void text(QTextEdit* edit, const char* field, size_t capacity);

    void toUi();
    void fromUi(void* target) const;
    // Some widget no longer shows what the last toUi left in it.
    bool edited() const;
    // Mode 1 (steps and microsteps) for engine type 3, else 0; suffixes from the unit texts.
    void setEngineType(unsigned int engineType, int divisor, const UnitTextSet& units);
    // After a re-translation: the suffixes last set at run time again.
    void reapplySuffixes();

    // Per byte of the container, the bits fromUi may write.
    std::vector<uint8_t> footprint() const;
    // The bits of the word that some widget shows.
    uint32_t shownBits(const uint32_t* word) const;
    // Offsets of the words declared Rebuild.
    std::vector<size_t> rebuildWords() const;
    std::vector<QWidget*> widgets() const;

    struct Piece
    {
        size_t offset;
        size_t size;
        uint32_t mask;    // for a 4-byte piece: the bits it owns
    };
    class Binding;

private:
    size_t offsetOf(const void* field, size_t size) const;
    Piece word(const uint32_t* field, uint32_t mask) const;
    void add(Binding* binding);
    void addStepBox(StepSpinBox* box, Unit unit, bool followsDivisor);
    QString unitText(Unit unit) const;

    const char* base;
    size_t size;
    std::vector<std::unique_ptr<Binding>> bindings;
    std::vector<std::pair<size_t, WordStyle>> words;
    std::vector<std::pair<Unit, std::function<void(const QString&)>>> suffixed;
    struct StepBox
    {
        StepSpinBox* box;
        Unit unit;
        bool followsDivisor;
    };
    std::vector<StepBox> stepBoxes;
    UnitTextSet units;
    bool unitsSet;
};

#endif // FIELDBINDER_H
