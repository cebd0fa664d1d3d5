#ifndef FAKEBORDERSPAGEWGT_H
#define FAKEBORDERSPAGEWGT_H

#include "pages/PlaceholderControllerPageWgt.h"

// Stands in for the Borders page with the calls the dialog makes on it, reached by name through
// the meta-object, so the real page drops in unchanged. Reports the container's borders and
// writes nothing.
class FakeBordersPageWgt : public PlaceholderControllerPageWgt
{
    Q_OBJECT

public:
    FakeBordersPageWgt(QWidget* parent, MotorSettings* settings);

    void FromClassToUi() override;
    Q_INVOKABLE int leftBorderSteps() const { return left; }
    Q_INVOKABLE int rightBorderSteps() const { return right; }

signals:
    void SgnChangeValues();

private:
    int left;
    int right;
};

#endif // FAKEBORDERSPAGEWGT_H
