#ifndef LONGLONGSPINBOX_H
#define LONGLONGSPINBOX_H

#include <QAbstractSpinBox>

// A spin box for a signed 64-bit integer.
class LongLongSpinBox : public QAbstractSpinBox
{
    Q_OBJECT

public:
    explicit LongLongSpinBox(QWidget* parent = nullptr);

    void setValue(qint64 value);
    qint64 value() const;

    QValidator::State validate(QString& text, int& pos) const override;
    // Clamps to the range (wraps with wrapping on); PageUp and PageDown step by 10.
    void stepBy(int steps) override;
    StepEnabled stepEnabled() const override;

private:
    bool parse(const QString& text, qint64* number) const;

    qint64 currentValue;
    qint64 minimumValue;
    qint64 maximumValue;
};

#endif // LONGLONGSPINBOX_H
