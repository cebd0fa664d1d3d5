#include "settingsdlg/SettingsPageFactory.h"

#include "chartdlg/GraphSettings.h"
#include "pages/PageAboutDeviceWgt.h"
#include "pages/PageBLDCMotorWgt.h"
#include "pages/PageBordersWgt.h"
#include "pages/PageBrakeWgt.h"
#include "pages/PageCTLWgt.h"
#include "pages/PageControlPositionWgt.h"
#include "pages/PageDCMotorWgt.h"
#include "pages/PageExtioWgt.h"
#include "pages/PageHomePositionWgt.h"
#include "pages/PageLimitsWgt.h"
#include "pages/PageMotorTypeWgt.h"
#include "pages/PagePidWgt.h"
#include "pages/PagePowerWgt.h"
#include "pages/PageStepperMotorWgt.h"
#include "pages/PageTtlWgt.h"
#include "pages/PageUartWgt.h"
#include "pages/PlaceholderControllerPageWgt.h"
#include "pages/PagePositionerNameWgt.h"
#include "pages/PageStageDCMotorWgt.h"
#include "pages/PageStageEncoderWgt.h"
#include "pages/PageStageGearWgt.h"
#include "pages/PageStageStepperMotorWgt.h"
#include "pages/PageStageWgt.h"
#include "settingsdlg/GraphPageTable.h"
#include "settingsdlg/PageAboutWgt.h"
#include "settingsdlg/PageCyclicWgt.h"
#include "settingsdlg/PageGraphCommonWgt.h"
#include "settingsdlg/PageGraphWgt.h"
#include "settingsdlg/PageLogSettingsWgt.h"
#include "settingsdlg/PageSliderSetupWgt.h"

#include <QCoreApplication>

namespace {

using Context = SettingsPageContext;

QWidget* emptyPage(const Context&, int)
{
    return new QWidget(nullptr);
}

template <typename Page>
QWidget* controllerPage(const Context& context, int)
{
    return new Page(nullptr, context.motorSettings);
}

QWidget* controlPage(const Context& context, int)
{
    return new PageCTLWgt(nullptr, context.motorSettings, context.updateThread);
}

QWidget* aboutDevicePage(const Context& context, int)
{
    return new PageAboutDeviceWgt(nullptr, context.motorSettings, context.controllerSettings, context.firmwareThread,
                                  context.updateFirmwarePath);
}

template <typename Page>
QWidget* stagePage(const Context& context, int)
{
    return new Page(nullptr, context.stageSettings);
}

QWidget* sliderPage(const Context& context, int)
{
    return new PageSliderSetupWgt(nullptr, context.sliderSettings);
}

QWidget* cyclicPage(const Context& context, int)
{
    return new PageCyclicWgt(nullptr, context.cyclicSettings);
}

QWidget* logPage(const Context& context, int)
{
    return new PageLogSettingsWgt(nullptr, context.logSettings);
}

QWidget* graphCommonPage(const Context& context, int)
{
    return new PageGraphCommonWgt(nullptr, &context.graphSettings->common);
}

QWidget* curvePage(const Context& context, int position)
{
    const GraphPageRow& row = graphPageRows[position - SettingsPageFactory::graphFirstCurvePage];
    auto* page = new PageGraphWgt(nullptr, &context.graphSettings->curves[row.slot], QString::fromLatin1(row.group));
    page->setTitle(QString::fromLatin1(row.title));
    if (row.slot == GraphSettings::flagsCurve) {
        page->hideColorControls();
    }
    return page;
}

QWidget* aboutPage(const Context&, int)
{
    return new PageAboutWgt(nullptr);
}

struct Row
{
    const char* text;
    int parent;
    QWidget* (*make)(const Context&, int);
};

#define TR(text) QT_TRANSLATE_NOOP("SettingsDlg", text)

// A page issue replaces its placeholder here with its page.
const Row rows[SettingsPageFactory::pageCount] = {
    {TR("Device configuration"), -1, emptyPage},
    {TR("Borders"), 0, controllerPage<PageBordersWgt>},
    {TR("Maximum ratings"), 0, controllerPage<PageLimitsWgt>},
    {TR("Motor & Driver type"), 0, controllerPage<PageMotorTypeWgt>},
    {TR("DC motor"), 0, controllerPage<PageDCMotorWgt>},
    {TR("BLDC motor"), 0, controllerPage<PageBLDCMotorWgt>},
    {TR("Stepper motor"), 0, controllerPage<PageStepperMotorWgt>},
    {TR("Power management"), 0, controllerPage<PagePowerWgt>},
    {TR("Brake control"), 0, controllerPage<PageBrakeWgt>},
    {TR("Control"), 0, controlPage},
    {TR("Position control"), 0, controllerPage<PageControlPositionWgt>},
    {TR("Home position"), 0, controllerPage<PageHomePositionWgt>},
    {TR("PID control"), 0, controllerPage<PagePidWgt>},
    {TR("TTL sync"), 0, controllerPage<PageTtlWgt>},
    {TR("UART settings"), 0, controllerPage<PageUartWgt>},
    {TR("EXTIO settings"), 0, controllerPage<PageExtioWgt>},
    {TR("About device"), 0, aboutDevicePage},
    {TR("Program configuration"), -1, sliderPage},
    {TR("Cyclic motion"), 17, cyclicPage},
    {TR("Log settings"), 17, logPage},
    {TR("Graph setup"), 17, graphCommonPage},
    {nullptr, 20, curvePage}, {nullptr, 20, curvePage}, {nullptr, 20, curvePage}, {nullptr, 20, curvePage},
    {nullptr, 20, curvePage}, {nullptr, 20, curvePage}, {nullptr, 20, curvePage}, {nullptr, 20, curvePage},
    {nullptr, 20, curvePage}, {nullptr, 20, curvePage}, {nullptr, 20, curvePage}, {nullptr, 20, curvePage},
    {nullptr, 20, curvePage}, {nullptr, 20, curvePage}, {nullptr, 20, curvePage}, {nullptr, 20, curvePage},
    {nullptr, 20, curvePage}, {nullptr, 20, curvePage}, {nullptr, 20, curvePage}, {nullptr, 20, curvePage},
    {TR("About"), 17, aboutPage},
    {TR("Stage configuration"), -1, emptyPage},
    {TR("Positioner name"), 42, stagePage<PagePositionerNameWgt>},
    {TR("Stage"), 42, stagePage<PageStageWgt>},
    {TR("DC Motor"), 42, stagePage<PageStageDCMotorWgt>},
    {TR("Stepper Motor"), 42, stagePage<PageStageStepperMotorWgt>},
    {TR("Encoder"), 42, stagePage<PageStageEncoderWgt>},
    {TR("Gear"), 42, stagePage<PageStageGearWgt>},
};

#undef TR

bool inTree(int position)
{
    return position >= 0 && position < SettingsPageFactory::pageCount;
}

} // namespace

const char* SettingsPageFactory::treeText(int position)
{
    if (!inTree(position)) {
        return "";
    }
    if (rows[position].make == curvePage) {
        return graphPageRows[position - graphFirstCurvePage].treeLabel;
    }
    return rows[position].text;
}

int SettingsPageFactory::parentPosition(int position)
{
    return inTree(position) ? rows[position].parent : -1;
}

QWidget* SettingsPageFactory::create(int position, const SettingsPageContext& context)
{
    return inTree(position) ? rows[position].make(context, position) : nullptr;
}
