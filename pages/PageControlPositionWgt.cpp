#include "pages/PageControlPositionWgt.h"

#include "settings_model/MotorSettings.h"
#include "settings_model/UnitTexts.h"
#include "ui_pagecontrolpositionwgt.h"

#include <QStandardItemModel>

PageControlPositionWgt::PageControlPositionWgt(QWidget* parent, MotorSettings* settings)
    : ControllerPageWgt(parent, settings), form(new Ui::PageControlPositionWgtClass)
{
    form->setupUi(this);
    form->minErrorSpin->setSuffix(stepperPositionUnit);
    // Shown when the record holds it, never offered: disabled in the model, so neither the list,
    // the wheel nor the arrow keys reach it.
    if (auto* model = qobject_cast<QStandardItemModel*>(form->baseCombo->model())) {
        model->item(0)->setEnabled(false);
    }

    ctp_settings_t& ctp = settings->ctp;
    binder.flagWord(&ctp.CTPFlags, FieldBinder::Rebuild);
    binder.flag(form->ctpGroup, &ctp.CTPFlags, CTP_ENABLED);
    binder.flag(form->alarmChk, &ctp.CTPFlags, CTP_ALARM_ON_ERROR);
    binder.flag(form->revSensInvChk, &ctp.CTPFlags, REV_SENS_INV);
    binder.plain(form->minErrorSpin, &ctp.CTPMinError);
    binder.bitCombo(form->baseCombo, &ctp.CTPFlags, CTP_BASE, 0);
}

PageControlPositionWgt::~PageControlPositionWgt()
{
    delete form;
}
