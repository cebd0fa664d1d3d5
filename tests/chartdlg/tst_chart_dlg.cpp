#include "chartdlg/ChartDlg.h"
#include "chartdlg/ChartPlotLook.h"
#include "chartdlg/GraphPlot.h"
#include "chartdlg/TimeScaleDraw.h"
#include "chartdlg/GraphPlotMulti.h"
#include "chartdlg/GraphSettings.h"
#include "common/FileChooser.h"
#include "common/MessagePrompter.h"
#include "device/SharedFlags.h"
#include "settings_model/MotorSettings.h"
#include "settingsdlg/GraphPageTable.h"

#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QHideEvent>
#include <QScrollBar>
#include <QSettings>
#include <QShowEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Chooser : FileChooser
{
    QString answer;
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return answer; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return answer; }
};

struct Prompter : MessagePrompter
{
    QStringList seen;
    QMessageBox::StandardButton reply = QMessageBox::Ok;
    QMessageBox::StandardButton prompt(QWidget*, QMessageBox::Icon, const QString& title, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        seen << title + QLatin1String(": ") + text;
        return reply;
    }
};

// A window set up as the main window does, fed with samples on a stepped clock.
struct Rig
{
    MotorSettings motor{nullptr, nullptr};
    GraphSettings graph;
    std::unique_ptr<ChartDlg> dlg;
    QDateTime clock = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC);
    Chooser chooser;
    Prompter prompter;

    explicit Rig(unsigned engine = ENGINE_TYPE_STEP, bool settle = true)
    {
        motor.entype.EngineType = engine;
        FileChooser::install(&chooser);
        MessagePrompter::install(&prompter);
        dlg.reset(new ChartDlg(nullptr, &motor, QStringLiteral("T 1")));
        dlg->InitUI(&graph);
        if (settle)
            QTest::qWait(300);  // the first-sample timeout
        dlg->timer()->blockSignals(false);
        dlg->checkBox(0)->setChecked(true);
    }
    ~Rig()
    {
        FileChooser::install(nullptr);
        MessagePrompter::install(nullptr);
    }
    void feed(int n, bool connect = true, uint32_t moveSts = MOVE_STATE_MOVING, int stepMs = 100)
    {
        for (int i = 0; i < n; ++i) {
            status_t s{};
            s.CurPosition = int(dlg->log().count());
            s.MoveSts = moveSts;
            dlg->InsertMeasure(0, clock, s, chart_data_t{}, analog_data_t{}, connect);
            clock = clock.addMSecs(stepMs);
        }
    }
};

} // namespace

class TestChartDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void gating_data();
    void gating();
    void pausesAndClear();
    void plotTable();
    void hardwareAndLimits();
    void history();
    void files();
    void timeAxisReadable_data();
    void timeAxisReadable();
    void loadRightAfterSetUp();
    void hiddenWindow_data();
    void hiddenWindow();
    void windowState();
    void render();
    void lifecycle();
};

void TestChartDlg::gating_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("label");
    QTest::newRow("disconnected") << "disconnected" << 0 << " stopped ";
    QTest::newRow("not running") << "stopped" << 0 << " stopped ";
    QTest::newRow("slider held") << "held" << 0 << " stopped ";
    QTest::newRow("paused by motion") << "motion" << 0 << " stopped ";
    QTest::newRow("recording") << "run" << 5 << " run ";
}

void TestChartDlg::gating()
{
    QFETCH(QString, mode);
    Rig rig;
    QCOMPARE(rig.dlg->log().count(), int64_t(0));  // the first sample never came: nothing stray later
    if (mode != "stopped")
        rig.dlg->OnStartBtnClicked();
    if (mode == "held")
        rig.dlg->sliderPressed();
    rig.graph.common.breakUpdateWhenStopped = mode == "motion";
    rig.feed(5, mode != "disconnected", mode == "motion" ? 0 : MOVE_STATE_MOVING);
    QTEST(int(rig.dlg->log().count()), "records");
    QTEST(rig.dlg->runText(), "label");
    if (rig.dlg->log().count())
        QCOMPARE(rig.dlg->log()[0].Time, 0.0);
    QCOMPARE(chartRecording.load(), mode != "stopped");
    rig.dlg->close();
}

void TestChartDlg::pausesAndClear()
{
    Rig rig;
    rig.dlg->OnStartBtnClicked();
    rig.feed(10);
    rig.dlg->OnStopBtnClicked();
    rig.clock = rig.clock.addMSecs(10000);
    rig.dlg->OnStartBtnClicked();
    rig.feed(10);
    rig.dlg->update();
    QCOMPARE(rig.dlg->gapLines().size(), size_t(1));
    QCOMPARE(GapLines::penWidth(rig.dlg->gapLines()[0].ratio), 1.0);
    QCOMPARE(rig.dlg->gaps().mapTime(rig.dlg->log().newest().Time), 19 * 100.0 + 10000.0);
    for (int i = 0; i < 600; ++i) {
        rig.clock = rig.clock.addMSecs(1000);
        rig.feed(2);
    }
    rig.dlg->update();
    QCOMPARE(rig.dlg->gapLines().size(), size_t(601));

    rig.dlg->OnClearBtnClicked();
    QVERIFY(rig.dlg->isRunning());
    QVERIFY(rig.dlg->gapLines().empty());
    rig.feed(3);
    QCOMPARE(rig.dlg->log()[0].Time, 0.0);
    QCOMPARE(rig.dlg->log().count(), int64_t(3));
    rig.dlg->close();
}

void TestChartDlg::plotTable()
{
    // check box, text, plot title, stepper unit, DC unit, curve page group (its settings record)
    const char* const rows[ChartDlg::plotCount][6] = {
        {"positionChk", "Position", "Position", " steps", " counts", "Graph_position_setup"},
        {"speedChk", "Speed", "Speed", " steps/s", " rpm", "Graph_speed_setup"},
        {"encodChk", "Encoder", "Encoder", "1", "1", "Graph_encoder_setup"},
        {"enVoltageChk", "Engine voltage", "Engine voltage", "V", "V", "Graph_envoltage_setup"},
        {"enCurrentChk", "Engine current", "Engine current", "mA", "mA", "Graph_encurrent_setup"},
        {"pwrVoltageChk", "Power voltage", "Power voltage", "V", "V", "Graph_pwrvoltage_setup"},
        {"pwrCurrentChk", "Power current", "Power current", "mA", "mA", "Graph_pwrcurrent_setup"},
        {"usbVoltageChk", "USB voltage", "USB voltage", "V", "V", "Graph_usbvoltage_setup"},
        {"usbCurrentChk", "USB current", "USB current", "mA", "mA", "Graph_usbcurrent_setup"},
        {"voltAChk", "Winding A voltage", "Voltage A", "V", "V", "Graph_voltageA_setup"},
        {"voltBChk", "Winding B voltage", "Voltage B", "V", "V", "Graph_voltageB_setup"},
        {"voltCChk", "Winding C voltage", "Voltage C", "V", "V", "Graph_voltageC_setup"},
        {"currAChk", "Winding A current", "Current A", "mA", "mA", "Graph_currentA_setup"},
        {"currBChk", "Winding B current", "Current B", "mA", "mA", "Graph_currentB_setup"},
        {"currCChk", "Winding C current", "Current C", "mA", "mA", "Graph_currentC_setup"},
        {"pwmChk", "PWM Level", "PWM level", "%", "%", "Graph_pwm_setup"},
        {"tempChk", "Temperature", "Temperature", "<sup>O</sup>C", "<sup>O</sup>C", "Graph_temperature_setup"},
        {"joyChk", "Joystick", "Joystick", "1", "1", "Graph_joy_setup"},
        {"potChk", "Potentiometer", "Potentiometer", "1", "1", "Graph_pot_setup"},
        {"flagsChk", "Flags", "Flags", " ", " ", "Graph_flags_setup"},
    };
    Rig rig;
    const QList<QCheckBox*> boxes = rig.dlg->findChildren<QCheckBox*>();
    for (int i = 0; i < ChartDlg::plotCount; ++i) {
        const ChartPlotRow& row = ChartDlg::plotRows[i];
        QCOMPARE(boxes.at(i)->objectName(), QString(rows[i][0]));
        QCOMPARE(boxes.at(i)->text(), QString(rows[i][1]));
        QCOMPARE(QString(row.title), QString(rows[i][2]));
        QCOMPARE(QString(row.stepUnit), QString(rows[i][3]));
        QCOMPARE(QString(row.unit), QString(rows[i][4]));
        const auto page = std::find_if(std::begin(graphPageRows), std::end(graphPageRows),
                                       [&](const GraphPageRow& p) { return p.slot == row.settingsIndex; });
        QCOMPARE(QString(page->group), QString(rows[i][5]));
        if (i < ChartDlg::valuePlotCount)
            QCOMPARE(rig.dlg->plot(i)->curve()->title().text(), QString(rows[i][2]));
    }
    QVERIFY(rig.dlg->checkBox(3)->isHidden() && rig.dlg->checkBox(4)->isHidden());
    QCOMPARE(rig.dlg->windowTitle(), QStringLiteral("Chart T 1"));
}

void TestChartDlg::hardwareAndLimits()
{
    Rig rig(1);
    for (int i = 0; i < ChartDlg::plotCount; ++i)
        rig.dlg->checkBox(i)->setChecked(true);
    rig.dlg->setHardware(1);
    QVERIFY(!rig.dlg->checkBox(9)->isEnabled() && rig.dlg->checkBox(15)->isEnabled());
    rig.dlg->setHardware(3);
    QVERIFY(rig.dlg->checkBox(9)->isEnabled() && !rig.dlg->checkBox(9)->isChecked());
    QVERIFY(!rig.dlg->checkBox(15)->isEnabled() && !rig.dlg->checkBox(15)->isChecked());
    rig.dlg->setHardware(5);
    QVERIFY(!rig.dlg->checkBox(15)->isEnabled());
    rig.dlg->setHardware(2);
    QVERIFY(rig.dlg->checkBox(15)->isEnabled() && !rig.dlg->checkBox(10)->isEnabled());

    const struct { double lo, hi; int d; } rows[] = {
        {-1000, 1000, 1}, {-1000.5, 10, 10}, {0, 2.5e6, 10000}, {0, 2e9, 10000000}};
    for (const auto& r : rows)
        QCOMPARE(ChartDlg::labelDivisor(r.lo, r.hi), r.d);

    rig.motor.engine.NomSpeed = 5000;
    rig.motor.engine.EngineFlags = ENGINE_LIMIT_RPM;
    rig.dlg->updateSettings();
    QCOMPARE(rig.dlg->limitLine(0)->yValue(), 5000.0);
    QCOMPARE(rig.dlg->limitLine(1)->yValue(), -5000.0);
    QVERIFY(rig.dlg->limitLine(0)->isVisible() && !rig.dlg->limitLine(2)->isVisible());
    rig.motor.engine.EngineFlags = 0;
    rig.dlg->updateSettings();
    QVERIFY(!rig.dlg->limitLine(0)->isVisible());

    // Time axes: first and last shown plot, or the flag plot.
    for (int i = 0; i < ChartDlg::plotCount; ++i)
        rig.dlg->checkBox(i)->setChecked(i == 2 || i == 16);
    QVERIFY(rig.dlg->plot(2)->axisEnabled(QwtPlot::xTop) && !rig.dlg->plot(2)->axisEnabled(QwtPlot::xBottom));
    QVERIFY(rig.dlg->plot(16)->axisEnabled(QwtPlot::xBottom));
    rig.dlg->checkBox(19)->setChecked(true);
    QVERIFY(rig.dlg->flagPlot()->axisEnabled(QwtPlot::xBottom) && !rig.dlg->plot(16)->axisEnabled(QwtPlot::xBottom));
    for (int i = 0; i < ChartDlg::plotCount; ++i)
        rig.dlg->checkBox(i)->setChecked(false);
    QVERIFY(rig.dlg->slider()->isHidden());
}

void TestChartDlg::history()
{
    Rig rig;
    rig.graph.common.dataPoints = 1;  // 10 samples a window
    rig.dlg->ReinitPlots();
    rig.dlg->OnStartBtnClicked();
    rig.feed(25);
    rig.dlg->update();
    QCOMPARE(rig.dlg->slider()->maximum(), 15);
    const int64_t drawn = rig.dlg->refreshCount();
    rig.dlg->update();
    QCOMPARE(rig.dlg->refreshCount(), drawn);  // nothing new, nothing drawn
    QCOMPARE(rig.dlg->dataSizeText(), QStringLiteral(" data size: 4 KB "));

    rig.dlg->OnStopBtnClicked();
    rig.graph.common.dataPoints = 3;  // longer than the data
    rig.graph.common.updateInterval = 5;  // clamped
    rig.dlg->ReinitPlots();
    QCOMPARE(rig.dlg->timer()->interval(), 50);
    QCOMPARE(rig.dlg->slider()->maximum(), 0);
    rig.dlg->sliderUpdate(0);
    // No filler left of the data: 25 shown, the oldest not drawn.
    const QwtPlotCurve* curve = rig.dlg->plot(0)->curve();
    QCOMPARE(int(curve->dataSize()), 24);
    QCOMPARE(curve->sample(0).x(), 2400.0);
    QCOMPARE(curve->sample(23).x(), 100.0);
    const double x[] = {5, 4, 3, 2, 1, 0}, y[] = {1, 9, 0, 3, 3, 2};
    std::vector<double> ox, oy;
    ChartDlg::decimate(x, y, 6, 3.0, ox, oy);
    QCOMPARE(ox, (std::vector<double>{4, 3, 2, 0}));
    QCOMPARE(oy, (std::vector<double>{9, 0, 3, 2}));
    rig.dlg->checkBox(1)->setChecked(true);
    rig.graph.common.dataPoints = 1;
    rig.dlg->ReinitPlots();
    rig.dlg->checkBox(1)->setChecked(false);
    QCOMPARE(int(rig.dlg->plot(1)->curve()->dataSize()), 0);
}

void TestChartDlg::files()
{
    QTemporaryDir dir;
    Rig rig;
    rig.dlg->OnStartBtnClicked();
    rig.feed(15);
    rig.clock = rig.clock.addSecs(10);
    rig.feed(15);
    rig.dlg->update();
    const QString good = dir.filePath("run.grf");
    rig.chooser.answer = dir.filePath("run");
    rig.dlg->OnSaveBtnClicked();
    QCOMPARE(QFile(good).size(), qint64(16 + 192 * 30));
    QVERIFY(rig.dlg->isRunning());
    rig.dlg->OnSaveBtnClicked();  // run.grf exists: asked, answered Ok (not Yes): nothing written
    QCOMPARE(rig.prompter.seen.size(), 1);
    QVERIFY(rig.prompter.seen.last().contains("already exists"));
    QCOMPARE(rig.dlg->statusText(), QStringLiteral("Saving cancelled"));

    if (geteuid() != 0) {
        QDir(dir.path()).mkdir("ro");
        chmod(QFile::encodeName(dir.filePath("ro")).constData(), 0555);
        rig.chooser.answer = dir.filePath("ro/x.GRF");
        rig.dlg->OnSaveBtnClicked();
        QCOMPARE(rig.prompter.seen.size(), 2);
        QVERIFY(rig.prompter.seen.last().startsWith("Save graph file: Could not save"));
        QCOMPARE(rig.dlg->statusText(), QStringLiteral("Saving failed"));
        QVERIFY(rig.dlg->isRunning());
    }

    // Refused files leave the recording as it was.
    const QList<QByteArray> refused = {QByteArray("TolmoGraphs_v1.3") + QByteArray(192, 0), "TolmoGraphs_v1.2",
                                       QByteArray(), QByteArray(100, 'x')};
    for (int i = 0; i < refused.size(); ++i) {
        QFile f(dir.filePath(QString("bad%1.grf").arg(i)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(refused[i]);
        f.close();
        rig.chooser.answer = f.fileName();
        rig.dlg->OnLoadBtnClicked();
        QCOMPARE(rig.dlg->log().count(), int64_t(30));
        QVERIFY(!chartRecording);
    }
    QVERIFY(rig.prompter.seen.contains("Tolmo: The file has unknown version or created with newer Tolmo"));

    rig.chooser.answer = good;
    rig.dlg->OnLoadBtnClicked();
    QCOMPARE(rig.dlg->statusText(), QStringLiteral("Graphics loaded"));
    QCOMPARE(rig.dlg->log().count(), int64_t(30));
    QCOMPARE(rig.dlg->log().newest().Time, -100.0);
    QCOMPARE(rig.dlg->fileText(), QStringLiteral("run.grf "));
    QCOMPARE(rig.dlg->log()[0].Time, -3000.0);
    rig.dlg->OnStartBtnClicked();
    rig.clock = rig.clock.addSecs(60);
    rig.feed(2);
    QCOMPARE(rig.dlg->log()[30].Time, 0.0);
    QCOMPARE(rig.dlg->fileText(), QStringLiteral("*run.grf "));
    rig.dlg->update();
    QCOMPARE(rig.dlg->log()[31].Time, 100.0);
}

void TestChartDlg::timeAxisReadable_data()
{
    QTest::addColumn<QString>("scene");
    QTest::addColumn<QList<int>>("curves");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("step");  // the widest step between labels, s; 0: a pause lies between
    QTest::newRow("fresh recording, wide") << "live" << QList<int>{0} << 900 << 5;
    QTest::newRow("loaded short chart, all, narrow") << "loaded" << QList<int>{0, 1, 2, 5, 6, 7, 8, 9, 10, 12, 19}
                                                     << 480 << 10;
    QTest::newRow("loaded with a pause") << "paused" << QList<int>{1, 19} << 800 << 0;
}

// Whatever the chart shows, its time axes name at least five times in its 60 s, side by side.
void TestChartDlg::timeAxisReadable()
{
    QFETCH(QString, scene);
    QFETCH(QList<int>, curves);
    QFETCH(int, width);
    QFETCH(int, step);
    QTemporaryDir dir;
    Rig rig;
    for (int i = 0; i < ChartDlg::plotCount; ++i)
        rig.dlg->checkBox(i)->setChecked(curves.contains(i));
    rig.dlg->show();
    // After showing, which fits the window to the (800x600) screen.
    rig.dlg->resize(width, 60 * curves.size() + 300);
    QVERIFY(QTest::qWaitForWindowExposed(rig.dlg.get()));
    rig.dlg->OnStartBtnClicked();
    rig.feed(15);
    rig.clock = rig.clock.addSecs(scene == "paused" ? 10 : 0);
    rig.feed(15);
    rig.dlg->update();
    if (scene == "loaded" || scene == "paused") {
        rig.chooser.answer = dir.filePath("short.grf");
        rig.dlg->OnSaveBtnClicked();
        rig.dlg->OnLoadBtnClicked();
    }
    QwtPlot* p = curves.last() == ChartDlg::flagsIndex ? static_cast<QwtPlot*>(rig.dlg->flagPlot())
                                                       : rig.dlg->plot(curves.last());
    QStringList labels;  // in order, each clear of the one before
    double end = -INFINITY;
    const QwtScaleDiv& div = p->axisScaleDiv(QwtPlot::xBottom);
    for (double tick : div.ticks(QwtScaleDiv::MajorTick)) {
        const QString text = p->axisScaleDraw(QwtPlot::xBottom)->label(tick).text();
        const double x = p->canvasMap(QwtPlot::xBottom).transform(tick);
        const double half = QFontMetrics(p->axisFont(QwtPlot::xBottom)).horizontalAdvance(text) / 2.0;
        if (!div.contains(tick) || text.isEmpty())
            continue;
        const double gap = labels.isEmpty() ? 1 : text.toDouble() - labels.last().toDouble();
        labels << text;
        QVERIFY2(x - half > end && gap > 0 && (step == 0 || gap <= step), qPrintable(labels.join(' ')));
        end = x + half;
    }
    QVERIFY2(labels.size() >= 5, qPrintable(labels.join(' ')));
}

// A damaged file loaded right after the window is set up: its sound records stay, the first
// sample's timeout past, and one message tells what was left out and why.
void TestChartDlg::loadRightAfterSetUp()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("t.grf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("TolmoGraphs_v1.2");
    for (int i = 0; i < 10; ++i) {
        ChartRecord r{};
        r.Time = i == 0 ? NAN : i == 9 ? 1e300 : 100.0 * i;
        r.Speed = i == 4 ? INFINITY : 0;
        file.write(reinterpret_cast<const char*>(&r), sizeof r);
    }
    file.write(QByteArray(191, 'x'));
    file.close();
    Rig rig(ENGINE_TYPE_STEP, false);
    rig.chooser.answer = file.fileName();
    rig.dlg->OnLoadBtnClicked();
    rig.feed(1);
    QTest::qWait(300);
    QCOMPARE(rig.dlg->log().count(), int64_t(7));
    QCOMPARE(rig.prompter.seen, QStringList("Open graph file: t.grf loaded with 7 records; 4 records left out:\n"
                                            "2 records with a damaged time;\n1 record with a damaged value;\n"
                                            "the last record, cut short after 191 bytes."));
}

void TestChartDlg::hiddenWindow_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("recording");  // recording goes on while hidden
    QTest::newRow("hidden") << "hide" << true;
    QTest::newRow("minimised") << "window system" << true;
    QTest::newRow("Escape") << "Escape" << false;
    QTest::newRow("close button") << "close" << false;
}

// A hidden chart's update timer is stopped. What it recorded meanwhile is drawn once it is shown;
// closing it stops recording.
void TestChartDlg::hiddenWindow()
{
    QFETCH(QString, how);
    QFETCH(bool, recording);
    Rig rig;
    QVERIFY(!rig.dlg->timer()->isActive());  // set up, never shown
    rig.dlg->show();
    QVERIFY(rig.dlg->timer()->isActive());
    rig.dlg->OnStartBtnClicked();
    rig.feed(5);
    QHideEvent hidden;  // what the window system sends on minimising: the window stays "visible"
    if (how == "hide")
        rig.dlg->hide();
    else if (how == "window system")
        QApplication::sendEvent(rig.dlg.get(), &hidden);
    else if (how == "Escape")
        QTest::keyClick(rig.dlg.get(), Qt::Key_Escape);
    else
        static_cast<QWidget*>(rig.dlg.get())->close();
    QVERIFY(!rig.dlg->timer()->isActive());
    QCOMPARE(rig.dlg->isRunning(), recording);
    QCOMPARE(chartRecording.load(), recording);
    const int64_t drawn = rig.dlg->refreshCount();
    rig.feed(20);
    QCOMPARE(rig.dlg->log().count(), int64_t(recording ? 25 : 5));
    QCOMPARE(rig.dlg->refreshCount(), drawn);

    // Shown again as the main window's chart button does.
    rig.dlg->timer()->blockSignals(false);
    QShowEvent restored;
    if (how == "window system")
        QApplication::sendEvent(rig.dlg.get(), &restored);
    else
        rig.dlg->show();
    QVERIFY(rig.dlg->timer()->isActive());
    if (!recording)
        return;
    QSignalSpy ticks(rig.dlg->timer(), &QTimer::timeout);
    QVERIFY(ticks.wait(2000));
    QVERIFY(rig.dlg->refreshCount() > drawn);
    const QwtPlotCurve* curve = rig.dlg->plot(0)->curve();
    QCOMPARE(int(curve->dataSize()), 24);  // the oldest point is never drawn
    QCOMPARE(curve->sample(0).y(), 24.0);  // the newest, recorded while hidden
    QCOMPARE(curve->sample(0).x(), rig.dlg->log().newest().Time);
}

void TestChartDlg::windowState()
{
    QTemporaryDir dir;
    QSettings empty(dir.filePath("a.cfg"), QSettings::IniFormat);
    QSettings defaults(dir.filePath("d.cfg"), QSettings::IniFormat);
    defaults.setValue("graphWindow_params/Joy_graph_enable", true);
    Rig rig;
    rig.dlg->FromSettingsToUi(&empty, &defaults);
    QVERIFY(rig.dlg->checkBox(0)->isChecked() && rig.dlg->checkBox(2)->isChecked());
    QVERIFY(!rig.dlg->checkBox(19)->isChecked() && rig.dlg->checkBox(17)->isChecked());
    QCOMPARE(rig.dlg->size(), QSize(615, 260).expandedTo(rig.dlg->minimumSizeHint()));
    rig.dlg->checkBox(19)->setChecked(true);
    // A place where that size fits the (800x600) screen: a larger one is cut to it.
    rig.dlg->move(50, 50);
    rig.dlg->resize(700, 500);
    QSettings out(dir.filePath("b.cfg"), QSettings::IniFormat);
    rig.dlg->FromUiToSettings(&out);
    QCOMPARE(out.childGroups(), QStringList{"graphWindow_params"});
    Rig other;
    other.dlg->FromSettingsToUi(&out, nullptr);
    QVERIFY(other.dlg->checkBox(19)->isChecked() && other.dlg->checkBox(17)->isChecked());
    QCOMPARE(other.dlg->size(), QSize(700, 500));
}

void TestChartDlg::render()
{
    Rig rig;
    for (int i : {1, 5, 19})
        rig.dlg->checkBox(i)->setChecked(true);
    rig.dlg->OnStartBtnClicked();
    for (int i = 0; i < 80; ++i) {
        status_t s{};
        s.CurPosition = int(1000 * std::sin(i / 8.0));
        s.CurSpeed = int(300 * std::cos(i / 8.0));
        s.Upwr = 1200 + i;
        s.GPIOFlags = (i / 10) % 2 ? 0x1 | 0x20 : 0x8;
        s.MoveSts = MOVE_STATE_MOVING;
        rig.dlg->InsertMeasure(0, rig.clock, s, chart_data_t{}, analog_data_t{}, true);
        rig.clock = rig.clock.addMSecs(i == 40 ? 20000 : 100);
    }
    rig.dlg->resize(900, 800);
    rig.dlg->show();
    rig.dlg->update();
    QCOMPARE(rig.dlg->gapLines().size(), size_t(1));
    const QImage img = rig.dlg->grab().toImage();
    QVERIFY(!img.isNull());
    const QString out = qEnvironmentVariable("TOLMO_RENDER_DIR");
    if (!out.isEmpty())
        img.save(out + "/chartdlg.png");
}

void TestChartDlg::lifecycle()
{
    MotorSettings motor(nullptr, nullptr);
    { ChartDlg bare(nullptr, &motor, QString()); }  // never set up
    Rig rig;
    rig.dlg->OnStartBtnClicked();
    for (int round = 0; round < 6; ++round) {
        rig.feed(40);
        rig.dlg->checkBox(round % 3 + 1)->setChecked(round % 2 == 0);
        rig.graph.common.dataPoints = round % 2 ? 1 : 7;
        rig.dlg->ReinitPlots();
        rig.dlg->update();
        for (int i = 0; i < ChartDlg::valuePlotCount; ++i)
            QVERIFY(rig.dlg->plot(i)->curve()->dataSize() == 0 || rig.dlg->checkBox(i)->isChecked());
    }
}

QTEST_MAIN(TestChartDlg)
#include "tst_chart_dlg.moc"
