#ifndef PAGEBORDERSWGT_H
#define PAGEBORDERSWGT_H

#include "widgets/StepSpinBox.h"
#include "pages/ControllerPageWgt.h"

namespace Ui { class PageBordersWgtClass; }

// "Borders": how the travel is limited, by two positions or by the limit switches, and how the
// switches are wired. The dialog reads the whole-step borders, and sets them after "Update
// borders", by name.
class PageBordersWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PageBordersWgt(QWidget* parent, MotorSettings* settings);
    ~PageBordersWgt() override;

    void setEngineType(unsigned int engineType) override;
    Q_INVOKABLE int leftBorderSteps() const;
    Q_INVOKABLE int rightBorderSteps() const;
    // The two borders alone, as whole steps, leaving every other field as the user left it.
    Q_INVOKABLE void setBorderSteps(int left, int right);

signals:
    void SgnChangeValues();

public slots:
    void OnSw1CurChanged(int index);
    void OnSw2CurChanged(int index);

protected:
    void retranslate() override;

private:
    Ui::PageBordersWgtClass* form;
    StepSpinBox leftBorderBox;
    StepSpinBox rightBorderBox;
};

#endif // PAGEBORDERSWGT_H
