#include "pages/PageExtioWgt.h"

#include "settings_model/MotorSettings.h"
#include "ui_pageextiowgt.h"

PageExtioWgt::PageExtioWgt(QWidget* parent, MotorSettings* settings)
    : ControllerPageWgt(parent, settings), form(new Ui::PageExtioWgtClass)
{
    form->setupUi(this);
    // Once through the form's enabling connections: input combo off, output combo on.
    form->outputChk->setChecked(false);
    form->outputChk->setChecked(true);

    extio_settings_t& extio = settings->extio;
    binder.flagWord(&extio.EXTIOSetupFlags, FieldBinder::Rebuild);
    binder.flag(form->outputChk, &extio.EXTIOSetupFlags, EXTIO_SETUP_OUTPUT);
    binder.flag(form->invertChk, &extio.EXTIOSetupFlags, EXTIO_SETUP_INVERT);
    // The mode word is merged: the controller keeps its low byte only, and a reserved bit above
    // it must not move the output mode.
    binder.bitFieldCombo(form->inModeCombo, &extio.EXTIOModeFlags, 0x0F);
    binder.bitFieldCombo(form->outModeCombo, &extio.EXTIOModeFlags, 0xF0);
}

PageExtioWgt::~PageExtioWgt()
{
    delete form;
}
