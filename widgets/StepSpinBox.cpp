#include "widgets/StepSpinBox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

#include <cfloat>
#include <cmath>
#include <limits>

namespace {

// Keys keep every digit of the microsteps in the whole-step modes.
const int keyDecimals = 10;
// Anything longer is far outside every limit; it is clamped, never wrapped.
const qint64 saturation = Q_INT64_C(1000000000000);

qint64 saturatingDigits(const QString& digits)
{
    if (digits.isEmpty()) {
        return 0;
    }
    QString trimmed = digits;
    while (trimmed.size() > 1 && trimmed.startsWith(QLatin1Char('0'))) {
        trimmed.remove(0, 1);
    }
    if (trimmed.size() > 12) {
        return saturation;
    }
    return trimmed.toLongLong();
}

qint64 truncated(double value)
{
    if (!(value == value)) {
        return 0;
    }
    if (value >= double(saturation)) {
        return saturation;
    }
    if (value <= -double(saturation)) {
        return -saturation;
    }
    return qint64(std::trunc(value));
}

int toInt(qint64 value)
{
    if (value > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    if (value < std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    return int(value);
}

} // namespace

StepSpinBox::StepSpinBox(QWidget* parent)
    : QDoubleSpinBox(parent),
      unitMode(1),
      held{0, 0},
      minPair{-99999, 0},
      maxPair{99999, 0},
      stepFactor(256),
      unitDecimals(0),
      unitsPerStep(1.0),
      keepsUnfinishedText(false)
{
    QDoubleSpinBox::setDecimals(keyDecimals);
    QDoubleSpinBox::setRange(keyOf(minPair), keyOf(maxPair));
    QDoubleSpinBox::setValue(0.0);
}

double StepSpinBox::keyOf(const Pair& pair)
{
    if (pair.uStep == 0) {
        return double(pair.step);
    }
    const int digits = QString::number(pair.uStep).size();
    return double(pair.step) + double(pair.uStep) / std::pow(10.0, digits);
}

bool StepSpinBox::sameKey(double a, double b)
{
    return std::fabs(a - b) <= 4 * DBL_EPSILON * qMax(1.0, qMax(std::fabs(a), std::fabs(b)));
}

StepSpinBox::Pair StepSpinBox::normalised(qint64 step, qint64 uStep) const
{
    const qint64 divisor = stepFactor;
    step += uStep / divisor;
    uStep %= divisor;
    if (step > 0 && uStep < 0) {
        step -= 1;
        uStep += divisor;
    } else if (step < 0 && uStep > 0) {
        step += 1;
        uStep -= divisor;
    }
    return Pair{step, uStep};
}

StepSpinBox::Pair StepSpinBox::clamped(const Pair& pair) const
{
    const double key = keyOf(pair);
    if (key < keyOf(minPair)) {
        return minPair;
    }
    if (key > keyOf(maxPair)) {
        return maxPair;
    }
    return pair;
}

StepSpinBox::Pair StepSpinBox::pairFor(double value) const
{
    if (unitMode != 2) {
        if (sameKey(value, keyOf(held))) {
            return held;
        }
        if (sameKey(value, keyOf(minPair))) {
            return minPair;
        }
        if (sameKey(value, keyOf(maxPair))) {
            return maxPair;
        }
    }
    return Pair{truncated(value), 0};
}

void StepSpinBox::applyPair(const Pair& pair)
{
    const Pair before = pairFor(value());
    held = clamped(pair);
    const double oldValue = value();
    QDoubleSpinBox::setValue(keyOf(held));
    // (100, 5) and (100, 50) share a key: the owners still learn that the pair changed.
    if (value() == oldValue && (before.step != held.step || before.uStep != held.uStep)) {
        emit valueChanged(value());
    }
}

StepSpinBox::KeepUntaken::KeepUntaken(StepSpinBox& box) : box(box), typed(box.untakenText()) {}

StepSpinBox::KeepUntaken::~KeepUntaken()
{
    if (typed && box.lineEdit()->displayText() != *typed) {
        box.lineEdit()->setText(*typed);
    }
}

void StepSpinBox::setValue(int step, int uStep)
{
    const KeepUntaken keep(*this);
    applyPair(normalised(step, uStep));
}

void StepSpinBox::setValue(double value)
{
    const KeepUntaken keep(*this);
    QDoubleSpinBox::setValue(value);
}

void StepSpinBox::setUStep(int uStep)
{
    const KeepUntaken keep(*this);
    applyPair(normalised(pairFor(value()).step, uStep));
}

void StepSpinBox::setStepFactor(int factor)
{
    const KeepUntaken keep(*this);
    const int old = stepFactor;
    stepFactor = qMax(1, factor);
    if (unitMode == 2) {
        applyRange();
        return;
    }
    const Pair pair = pairFor(value());
    applyPair(normalised(pair.step, pair.uStep * stepFactor / old));
    // The divisor is part of the text even when the pair stays.
    QDoubleSpinBox::setValue(value());
}

void StepSpinBox::setMinimumStep(int step, int uStep)
{
    const KeepUntaken keep(*this);
    const Pair current = pairFor(value());
    minPair = Pair{step, uStep};
    applyRange();
    if (unitMode != 2) {
        applyPair(current);
    }
}

void StepSpinBox::setMaximumStep(int step, int uStep)
{
    const KeepUntaken keep(*this);
    const Pair current = pairFor(value());
    maxPair = Pair{step, uStep};
    applyRange();
    if (unitMode != 2) {
        applyPair(current);
    }
}

void StepSpinBox::applyRange()
{
    if (unitMode != 2) {
        QDoubleSpinBox::setRange(keyOf(minPair), keyOf(maxPair));
        return;
    }
    const auto fullSteps = [this](const Pair& pair) { return double(pair.step) + double(pair.uStep) / stepFactor; };
    const double scale = std::pow(10.0, unitDecimals);
    // Rounded inwards to the decimals shown: whatever the box shows converts to a position
    // within the limits in steps.
    QDoubleSpinBox::setRange(std::ceil(fullSteps(minPair) * unitsPerStep * scale) / scale,
                             std::floor(fullSteps(maxPair) * unitsPerStep * scale) / scale);
}

void StepSpinBox::setUnitMode(int mode, const QString& suffix, int decimals, double unitScale)
{
    KeepUntaken keep(*this);
    if (mode < 0 || mode > 2) {
        return;
    }
    const Pair current = pairFor(value());
    const int oldMode = unitMode;
    // A text typed and not taken goes into the new unit as the same place, read in the old one.
    long double typedSteps = 0;
    const bool typedNumber = keep.typed && fullStepsOf(*keep.typed, &typedSteps);
    unitDecimals = qBound(0, decimals, DBL_DIG);
    unitMode = mode;
    unitsPerStep = std::isfinite(unitScale) && unitScale > 0 ? unitScale : 1.0;
    if (!suffix.isEmpty() && suffix != this->suffix()) {
        setSuffix(suffix);
    }
    QDoubleSpinBox::setDecimals(mode == 2 ? unitDecimals : keyDecimals);
    applyRange();
    if (mode != 2) {
        // Leaving user units keeps the whole part; staying in steps keeps the pair.
        applyPair(oldMode == 2 ? Pair{current.step, 0} : current);
    }
    if (mode == 2 && oldMode != 2) {
        const long double steps = (long double)(current.step) + (long double)(current.uStep) / stepFactor;
        origin = UnitsOrigin{toInt(current.step), toInt(current.uStep), roundedToDecimals(steps * unitsPerStep), keep.typed,
                             std::nullopt};
        if (typedNumber) {
            keep.typed = unitText(roundedToDecimals(typedSteps * unitsPerStep)) + this->suffix();
        }
        origin->typedInUnits = keep.typed;
    } else if (oldMode == 2 && mode != 2) {
        if (origin && keep.typed == origin->typedInUnits) {
            keep.typed = origin->typed;
        } else if (typedNumber) {
            const qint64 microsteps = std::llround(qBound<long double>(-saturation, typedSteps, saturation) * stepFactor);
            keep.typed = pairText(normalised(microsteps / stepFactor, microsteps % stepFactor)) + this->suffix();
        }
        origin.reset();
    }
    QDoubleSpinBox::setValue(value());
    update();
}

std::optional<StepSpinBox::UnitsOrigin> StepSpinBox::unitsOrigin() const
{
    // Half a last decimal: a value the operator changed by one digit is another.
    if (unitMode != 2 || !origin || std::fabs(value() - origin->value) > 0.5 * std::pow(10.0, -unitDecimals)) {
        return std::nullopt;
    }
    return origin;
}

void StepSpinBox::setUnitsOrigin(const std::optional<UnitsOrigin>& unitsOrigin)
{
    origin = unitsOrigin;
}

double StepSpinBox::roundedToDecimals(long double value) const
{
    // Half away from zero, as the window rounds the positions it shows in units.
    const long double scale = std::pow(10.0L, (long double)(unitDecimals));
    const long double rounded = std::round(value * scale) / scale;
    return rounded == 0 ? 0.0 : double(rounded);
}

bool StepSpinBox::fullStepsOf(const QString& text, long double* steps) const
{
    QString completed = text;
    fixup(completed);
    if (unitMode == 2) {
        bool ok = false;
        const double number = stripSuffix(completed).toDouble(&ok);
        if (!ok || !std::isfinite(number)) {
            return false;
        }
        *steps = (long double)(number) / unitsPerStep;
        return true;
    }
    Pair pair;
    if (!parsePair(completed, &pair)) {
        return false;
    }
    *steps = (long double)(pair.step) + (long double)(pair.uStep) / stepFactor;
    return true;
}

int StepSpinBox::getStep() const
{
    return toInt(pairFor(value()).step);
}

int StepSpinBox::getUStep() const
{
    return toInt(pairFor(value()).uStep);
}

double StepSpinBox::minimumStep() const
{
    return keyOf(minPair);
}

double StepSpinBox::maximumStep() const
{
    return keyOf(maxPair);
}

QString StepSpinBox::unitText(double value) const
{
    // Fixed notation with every decimal: no exponent, and the same width as the positions shown.
    const QString text = QString::number(value, 'f', unitDecimals);
    return text.toDouble() == 0.0 ? QString::number(0.0, 'f', unitDecimals) : text;  // no "-0.00"
}

QString StepSpinBox::pairText(const Pair& pair) const
{
    if (unitMode == 0) {
        return QStringLiteral("%1").arg(pair.step);
    }
    QString text = QCoreApplication::translate("QDoubleSpinBox", "%1 %2")
                       .arg(pair.step)
                       .arg(qAbs(pair.uStep))
                   + QStringLiteral("/%1").arg(stepFactor);
    if (pair.step == 0 && pair.uStep < 0) {
        text.prepend(QLatin1Char('-'));
    }
    return text;
}

QString StepSpinBox::textFromValue(double value) const
{
    if (unitMode == 2) {
        return unitText(value);
    }
    return pairText(pairFor(qBound(minimum(), value, maximum())));
}

QString StepSpinBox::stripSuffix(const QString& text) const
{
    const QString unit = suffix();
    if (!unit.isEmpty() && text.endsWith(unit)) {
        return text.left(text.size() - unit.size());
    }
    return text;
}

bool StepSpinBox::parsePair(const QString& text, Pair* pair) const
{
    const QString body = stripSuffix(text);
    QRegularExpressionMatch match;
    if (unitMode == 1) {
        match = QRegularExpression(QRegularExpression::anchoredPattern(
                                       QStringLiteral("(-)?(\\d*)\\s(\\d{0,3})/") + QString::number(stepFactor)))
                    .match(body);
        if (match.hasMatch()) {
            qint64 step = saturatingDigits(match.captured(2));
            qint64 uStep = saturatingDigits(match.captured(3));
            if (match.captured(1) == QLatin1String("-")) {
                step = -step;
                uStep = -uStep;
            }
            *pair = normalised(step, uStep);
            return true;
        }
    }
    // A plain whole number: that many steps and no microsteps, in every whole-step mode.
    match = QRegularExpression(QRegularExpression::anchoredPattern(QStringLiteral("(-)?(\\d+)"))).match(body);
    if (!match.hasMatch()) {
        return false;
    }
    const qint64 step = saturatingDigits(match.captured(2));
    *pair = Pair{match.captured(1).isEmpty() ? step : -step, 0};
    return true;
}

double StepSpinBox::valueFromText(const QString& text) const
{
    // The text the box shows itself stands for what it holds; reading it back must not drop
    // microsteps that the whole-number display does not show.
    if (text == textFromValue(value()) + suffix()) {
        return value();
    }
    if (unitMode == 2) {
        bool ok = false;
        const double number = stripSuffix(text).toDouble(&ok);
        if (!ok) {
            return value();
        }
        return qBound(minimum(), number, maximum());
    }
    Pair pair;
    if (!parsePair(text, &pair)) {
        return value();
    }
    held = clamped(pair);
    return keyOf(held);
}

QValidator::State StepSpinBox::bodyState(const QString& body) const
{
    const auto anchored = [](const QString& pattern) {
        return QRegularExpression(QRegularExpression::anchoredPattern(pattern));
    };
    const bool hasDigit = body.contains(QRegularExpression(QStringLiteral("\\d")));
    if (unitMode == 2) {
        const QRegularExpressionMatch match = anchored(QStringLiteral("-?\\d*(?:\\.(\\d*))?")).match(body);
        if (!match.hasMatch() || match.captured(1).size() > unitDecimals) {
            return QValidator::Invalid;
        }
        return hasDigit ? QValidator::Acceptable : QValidator::Intermediate;
    }
    if (anchored(QStringLiteral("-?\\d*")).match(body).hasMatch()) {
        return hasDigit ? QValidator::Acceptable : QValidator::Intermediate;
    }
    if (unitMode != 1) {
        return QValidator::Invalid;
    }
    // Steps, a blank, microsteps, a slash and the divisor, typed from the left.
    const QRegularExpressionMatch match = anchored(QStringLiteral("-?\\d*\\s\\d{0,3}(/(\\d*))?")).match(body);
    if (!match.hasMatch()) {
        return QValidator::Invalid;
    }
    const QString divisor = QString::number(stepFactor);
    if (match.capturedStart(1) < 0) {
        return QValidator::Intermediate;
    }
    if (match.captured(2) == divisor) {
        return QValidator::Acceptable;
    }
    return divisor.startsWith(match.captured(2)) ? QValidator::Intermediate : QValidator::Invalid;
}

QValidator::State StepSpinBox::validate(QString& text, int& pos) const
{
    Q_UNUSED(pos);
    const QString unit = suffix();
    if (unit.isEmpty() || text.endsWith(unit)) {
        const QValidator::State state = bodyState(text.left(text.size() - unit.size()));
        // A target beyond the limits is never taken in: clamped, it would go where nobody typed.
        if (state == QValidator::Acceptable && keepsUnfinishedText && beyondLimits(text)) {
            return QValidator::Intermediate;
        }
        return state;
    }
    // The unit is partly there: the number before it can still be finished.
    for (int cut = text.size(); cut >= 0; --cut) {
        if (unit.startsWith(text.midRef(cut)) && bodyState(text.left(cut)) != QValidator::Invalid) {
            return QValidator::Intermediate;
        }
    }
    return QValidator::Invalid;
}

void StepSpinBox::fixup(QString& text) const
{
    QString body = stripSuffix(text).trimmed();
    if (unitMode == 1) {
        // "100 5" or "100 5/2" is 100 5/256; "100 " is 100 steps.
        const QRegularExpressionMatch match =
            QRegularExpression(QRegularExpression::anchoredPattern(QStringLiteral("(-?)(\\d*)\\s+(\\d{0,3})(/\\d*)?")))
                .match(body);
        if (match.hasMatch() && !(match.captured(2) + match.captured(3)).isEmpty()) {
            const QString step = match.captured(2).isEmpty() ? QStringLiteral("0") : match.captured(2);
            const QString uStep = match.captured(3).isEmpty() ? QStringLiteral("0") : match.captured(3);
            body = match.captured(1) + step + QLatin1Char(' ') + uStep + QLatin1Char('/') + QString::number(stepFactor);
        }
    }
    text = body + suffix();
}

bool StepSpinBox::wholeText(QString* text) const
{
    int pos = 0;
    if (validate(*text, pos) == QValidator::Acceptable) {
        return true;
    }
    fixup(*text);
    return validate(*text, pos) == QValidator::Acceptable;
}

bool StepSpinBox::commitText()
{
    QString text = lineEdit()->displayText();
    if (!wholeText(&text)) {
        return false;
    }
    if (text != lineEdit()->displayText()) {
        lineEdit()->setText(text);
    }
    interpretText();
    return true;
}

bool StepSpinBox::beyondLimits(const QString& text) const
{
    if (unitMode == 2) {
        bool ok = false;
        const double number = stripSuffix(text).toDouble(&ok);
        return ok && (number < minimum() || number > maximum());
    }
    Pair pair;
    if (!parsePair(text, &pair)) {
        return false;
    }
    const Pair inside = clamped(pair);
    return inside.step != pair.step || inside.uStep != pair.uStep;
}

QString StepSpinBox::whyNoTarget() const
{
    QString completed = lineEdit()->displayText();
    fixup(completed);
    if (beyondLimits(completed)) {
        // A whole-step limit without its "0/256".
        const auto limit = [this](double key, const Pair& pair) {
            return unitMode != 2 && pair.uStep == 0 ? QString::number(pair.step) : textFromValue(key);
        };
        return tr("\"%1\" is beyond what the box can hold, %2 to %3%4")
            .arg(cleanText(), limit(minimum(), minPair), limit(maximum(), maxPair), suffix());
    }
    return tr("\"%1\" is not a target").arg(cleanText());
}

void StepSpinBox::setKeepsUnfinishedText(bool keep)
{
    keepsUnfinishedText = keep;
    // A target is taken when the operator is done with it: tracked keystrokes would take each
    // prefix in range while the box goes on showing the longer text that was typed.
    setKeyboardTracking(!keep);
}

std::optional<QString> StepSpinBox::untakenText() const
{
    const QString shown = lineEdit()->displayText();
    if (!keepsUnfinishedText || shown == textFromValue(value()) + suffix()) {
        return std::nullopt;
    }
    return shown;
}

void StepSpinBox::showUntakenText(const std::optional<QString>& text)
{
    if (text) {
        lineEdit()->setText(*text);
    } else {
        QDoubleSpinBox::setValue(value());
    }
}

bool StepSpinBox::showsRefusedText() const
{
    std::optional<QString> shown = untakenText();
    return shown && !wholeText(&*shown);
}

// Shown and hidden, minimised or not, the spin box shows its value again.
void StepSpinBox::showEvent(QShowEvent* event)
{
    const KeepUntaken keep(*this);
    QDoubleSpinBox::showEvent(event);
}

void StepSpinBox::hideEvent(QHideEvent* event)
{
    const KeepUntaken keep(*this);
    QDoubleSpinBox::hideEvent(event);
}

QAbstractSpinBox::StepEnabled StepSpinBox::stepEnabled() const
{
    // A refused text is no place to step from: the arrows would make a target of whatever
    // the box held underneath.
    return showsRefusedText() ? StepNone : QDoubleSpinBox::stepEnabled();
}

void StepSpinBox::focusOutEvent(QFocusEvent* event)
{
    const QString typed = lineEdit()->displayText();
    QString completed = typed;
    const bool whole = wholeText(&completed);
    QDoubleSpinBox::focusOutEvent(event);
    keepUnfinished(typed, whole);
}

void StepSpinBox::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const QString typed = lineEdit()->displayText();
    QString completed = typed;
    const bool whole = !enter || wholeText(&completed);
    QDoubleSpinBox::keyPressEvent(event);
    keepUnfinished(typed, whole);
}

void StepSpinBox::keepUnfinished(const QString& typed, bool whole)
{
    // The spin box shows its previous value again; a target box keeps what was typed, so that
    // the command refuses it rather than going to a target nobody asked for.
    if (keepsUnfinishedText && !whole && lineEdit()->displayText() != typed) {
        lineEdit()->setText(typed);
    }
}

void StepSpinBox::stepBy(int steps)
{
    if (showsRefusedText()) {
        return;
    }
    if (unitMode == 2) {
        QDoubleSpinBox::stepBy(steps);
        return;
    }
    // Whatever is being typed counts first, as for any spin box.
    if (lineEdit()->displayText() != textFromValue(value()) + suffix()) {
        interpretText();
    }
    const Pair pair = pairFor(value());
    const qint64 delta = qint64(std::llround(singleStep() * steps));
    // Whole steps move; the microsteps stay.
    applyPair(normalised(pair.step + delta, pair.uStep));
    selectAll();
}
