#include "widgets/LongLongSpinBox.h"

#include <QLineEdit>

#include <limits>

LongLongSpinBox::LongLongSpinBox(QWidget* parent)
    : QAbstractSpinBox(parent),
      currentValue(0),
      minimumValue(std::numeric_limits<qint64>::min()),
      maximumValue(std::numeric_limits<qint64>::max())
{
    lineEdit()->setText(QStringLiteral("0"));
    // A typed number takes effect as soon as it is a whole, in-range number.
    connect(lineEdit(), &QLineEdit::textChanged, this, [this](const QString& text) {
        qint64 number = 0;
        if (parse(text, &number)) {
            currentValue = number;
        }
    });
    // A half-typed text ("-", "") left behind shows the value that counts again.
    connect(this, &QAbstractSpinBox::editingFinished, this, [this] {
        const QString text = QString::number(currentValue);
        if (lineEdit()->text() != text) {
            lineEdit()->setText(text);
        }
    });
}

void LongLongSpinBox::setValue(qint64 value)
{
    currentValue = value;
    lineEdit()->setText(QString::number(value));
}

qint64 LongLongSpinBox::value() const
{
    return currentValue;
}

bool LongLongSpinBox::parse(const QString& text, qint64* number) const
{
    bool ok = false;
    const qint64 parsed = text.toLongLong(&ok, 10);
    if (!ok || parsed < minimumValue || parsed > maximumValue) {
        return false;
    }
    *number = parsed;
    return true;
}

QValidator::State LongLongSpinBox::validate(QString& text, int& pos) const
{
    Q_UNUSED(pos);
    if (text.isEmpty() || text == QLatin1String("-")) {
        return QValidator::Intermediate;
    }
    qint64 number = 0;
    return parse(text, &number) ? QValidator::Acceptable : QValidator::Invalid;
}

void LongLongSpinBox::stepBy(int steps)
{
    qint64 target = 0;
    bool beyond = __builtin_add_overflow(currentValue, qint64(steps), &target);
    if (!beyond) {
        beyond = target > maximumValue || target < minimumValue;
    }
    if (beyond) {
        if (wrapping()) {
            target = steps > 0 ? minimumValue : maximumValue;
        } else {
            target = steps > 0 ? maximumValue : minimumValue;
        }
    }
    setValue(target);
}

QAbstractSpinBox::StepEnabled LongLongSpinBox::stepEnabled() const
{
    if (isReadOnly()) {
        return StepNone;
    }
    if (wrapping()) {
        return StepUpEnabled | StepDownEnabled;
    }
    StepEnabled enabled = StepNone;
    if (currentValue > minimumValue) {
        enabled |= StepDownEnabled;
    }
    if (currentValue < maximumValue) {
        enabled |= StepUpEnabled;
    }
    return enabled;
}
