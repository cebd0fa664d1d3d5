#include "pages/PageStageWgt.h"

#include <QFontMetrics>
#include <QSignalBlocker>

#include "settings_model/StageSettings.h"
#include "ui_pagestagewgt.h"

PageStageWgt::PageStageWgt(QWidget* parent, StageSettings* settings)
    : StagePageWgt(parent, settings), form(new Ui::PageStageWgtClass)
{
    form->setupUi(this);
    stage_settings_t& stage = settings->stageSettings;
    showInformation(settings->stageInformation, form->manufacturerEdit, form->seriesEdit, form->anumberEdit,
                    form->descEdit);
    binder.plain(form->LeadPitchSpin, &stage.LeadScrewPitch);
    binder.text(form->unitsEdit, stage.Units);
    binder.plain(form->maxSpeedSpin, &stage.MaxSpeed);
    binder.plain(form->travelRangeSpin, &stage.TravelRange);
    binder.plain(form->supV1Spin, &stage.SupplyVoltage1);
    binder.plain(form->supV2Spin, &stage.SupplyVoltage2);
    binder.plain(form->MaxCurrSpin, &stage.MaxCurrentConsumption);
    binder.plain(form->HLoadSpin, &stage.HorizontalLoadCapacity);
    binder.plain(form->VLoadSpin, &stage.VerticalLoadCapacity);
    snapshotRecord(stage);
    makeReadOnly();

    form->descEdit->setAutoFormatting(QTextEdit::AutoNone);
    form->descEdit->setAcceptRichText(false);
    form->descEdit->setTabChangesFocus(true);
    const QFontMetrics metrics(form->descEdit->font());
    const int height = 2 * (metrics.boundingRect(QStringLiteral("A")).height() + metrics.lineSpacing());
    form->descEdit->setMinimumHeight(height);
    form->descEdit->setMaximumHeight(height);
    allowLargestFloat({form->LeadPitchSpin, form->maxSpeedSpin, form->travelRangeSpin, form->MaxCurrSpin,
                       form->HLoadSpin, form->VLoadSpin});

    testValues();
    connect(form->unitsEdit, &QLineEdit::textChanged, this, &PageStageWgt::testValues);
}

PageStageWgt::~PageStageWgt()
{
    delete form;
}

void PageStageWgt::testValues()
{
    const QSignalBlocker blocker(form->unitsEdit);
    QString units = form->unitsEdit->text();
    if (units.trimmed().isEmpty()) {
        units.clear();
        form->unitsEdit->setText(units);
        form->maxSpeedSpin->setSuffix(QString());
    } else {
        form->maxSpeedSpin->setSuffix(QLatin1Char(' ') + units + QStringLiteral("/s"));
    }
    form->travelRangeSpin->setSuffix(QLatin1Char(' ') + units);
    form->LeadPitchSpin->setSuffix(QLatin1Char(' ') + units);
}
