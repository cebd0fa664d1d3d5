#include <QtTest>
#include "support/TestTime.h"

#include <QColorDialog>
#include <QLabel>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <qwt_slider.h>
#include <qwt_text.h>

#include "widgets/ColorButton.h"
#include "widgets/DeadZoneSlider.h"
#include "log/MessageLog.h"
#include "widgets/LabelUpdates.h"
#include "widgets/MessageLine.h"
#include "widgets/SliderScaleDraw.h"
#include "support/Screenshot.h"

#include <limits>

namespace {

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

// Reads the label texts the way the scale paints them, through Qwt's cache.
class ScaleProbe : public SliderScaleDraw
{
public:
    QString cachedLabel(double value) const { return tickLabel(QFont(), value).text(); }
};

// Answers the colour dialog that ColorButton::openDialog runs.
void answerColorDialog(const QColor& choice)
{
    QTimer::singleShot(0, [choice] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QColorDialog*>(widget); dialog && dialog->isVisible()) {
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Select a color"));
                if (choice.isValid()) {
                    dialog->setCurrentColor(choice);
                    dialog->accept();
                } else {
                    dialog->reject();
                }
            }
        }
    });
}

bool isColour(const QImage& image, int x, int y, const QColor& colour)
{
    return image.pixelColor(x, y).rgb() == colour.rgb();
}

} // namespace

class TestSharedWidgets : public QObject
{
    Q_OBJECT

private slots:
    void colorButtonPaintsSwatch();
    void colorButtonRepaintsOnSetColor();
    void colorButtonDialog();
    void deadZoneBands();
    void deadZoneBoundsAreSafe();
    void deadZoneRepaintsOnNewRanges();
    void deadZoneIgnoresUserInput();
    void scaleLabels();
    void scaleDivisorRefreshesCachedLabels();
    void heldLabelShowsEveryTextWhole();
    void messageLineShowsWhatMatters_data();
    void messageLineShowsWhatMatters();
};

void TestSharedWidgets::colorButtonPaintsSwatch()
{
    ColorButton button;
    QVERIFY(!button.color().isValid());
    button.resize(120, 20);
    button.setColor(QColor(255, 0, 0));
    const QImage image = button.grab().toImage();
    // The swatch spans (5, 5) to (45, 15); the name starts at x = 50.
    QVERIFY(isColour(image, 10, 10, Qt::red));
    QVERIFY(isColour(image, 44, 14, Qt::red));
    QVERIFY(!isColour(image, 47, 10, Qt::red));
    QVERIFY(!isColour(image, 10, 3, Qt::red));
    bool text = false;
    for (int x = 50; x < 110 && !text; ++x) {
        for (int y = 6; y < 16 && !text; ++y) {
            text = image.pixelColor(x, y).lightness() < 100;
        }
    }
    QVERIFY(text);
}

void TestSharedWidgets::colorButtonRepaintsOnSetColor()
{
    ColorButton button;
    button.resize(120, 20);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    PaintCounter counter;
    button.installEventFilter(&counter);
    button.setColor(Qt::blue);
    QTRY_VERIFY_WITH_TIMEOUT(counter.paints > 0, scaledMs(5000));
}

void TestSharedWidgets::colorButtonDialog()
{
    ColorButton button;
    button.setColor(Qt::blue);
    answerColorDialog(QColor());
    button.click();
    QCOMPARE(button.color(), QColor(Qt::blue));
    answerColorDialog(QColor(0, 128, 0));
    button.click();
    QCOMPARE(button.color(), QColor(0, 128, 0));
}

void TestSharedWidgets::deadZoneBands()
{
    DeadZoneSlider slider(Qt::Horizontal);
    QCOMPARE(slider.minimum(), 0);
    QCOMPARE(slider.maximum(), 10000);
    slider.resize(1000, 60);
    slider.SetDeadZoneRange(4500, 5500);
    slider.SetWholeRange(1000, 9000);
    const QImage image = slider.grab().toImage();
    QVERIFY(keepScreenshot(slider, QStringLiteral("deadzoneslider.png")));
    const int upper = 60 / 6 + 3;    // inside the upper band, away from the groove
    const int lower = 60 / 2 + 17;   // inside the lower band
    // Red from x = 450, 99 wide (outline included): 451 to 548 filled.
    QVERIFY(isColour(image, 452, upper, Qt::red));
    QVERIFY(isColour(image, 547, upper, Qt::red));
    QVERIFY(!isColour(image, 449, upper, Qt::red));
    QVERIFY(!isColour(image, 550, upper, Qt::red));
    QVERIFY(isColour(image, 102, lower, Qt::green));
    QVERIFY(isColour(image, 897, lower, Qt::green));
    QVERIFY(!isColour(image, 901, lower, Qt::green));
    QVERIFY(!isColour(image, 500, lower, Qt::red));
}

void TestSharedWidgets::deadZoneBoundsAreSafe()
{
    DeadZoneSlider slider(Qt::Horizontal);
    slider.resize(1000, 60);
    // Bounds beyond the scale are clamped; no 32-bit overflow (UBSan would stop here).
    slider.SetWholeRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    slider.SetDeadZoneRange(6000, 4000);   // reversed: nothing to draw
    const QImage image = slider.grab().toImage();
    QVERIFY(isColour(image, 3, 47, Qt::green));
    QVERIFY(isColour(image, 995, 47, Qt::green));
    for (int x = 0; x < 1000; ++x) {
        QVERIFY(!isColour(image, x, 13, Qt::red));
    }
}

void TestSharedWidgets::deadZoneRepaintsOnNewRanges()
{
    DeadZoneSlider slider(Qt::Horizontal);
    slider.resize(400, 40);
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));
    PaintCounter counter;
    slider.installEventFilter(&counter);
    for (const bool whole : {true, false}) {
        QCoreApplication::processEvents();
        counter.paints = 0;
        whole ? slider.SetWholeRange(1000, 9000) : slider.SetDeadZoneRange(4000, 6000);
        QTRY_VERIFY2_WITH_TIMEOUT(counter.paints > 0, whole ? "whole range" : "dead zone", scaledMs(1000));
    }
}

void TestSharedWidgets::deadZoneIgnoresUserInput()
{
    DeadZoneSlider slider(Qt::Horizontal);
    slider.resize(400, 40);
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));
    slider.setValue(5000);
    QTest::mouseClick(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(380, 20));
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(200, 20));
    QTest::mouseMove(&slider, QPoint(20, 20));
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QTest::keyClick(&slider, Qt::Key_Right);
    QTest::keyClick(&slider, Qt::Key_PageDown);
    QTest::keyClick(&slider, Qt::Key_Home);
    QWheelEvent wheel(QPointF(200, 20), slider.mapToGlobal(QPoint(200, 20)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&slider, &wheel);
    QCOMPARE(slider.value(), 5000);
}

void TestSharedWidgets::scaleLabels()
{
    SliderScaleDraw draw(10);
    QCOMPARE(draw.label(512).text(), QStringLiteral("51.2"));
    draw.setDivisor(1);
    QCOMPARE(draw.label(1234567.0).text(), QStringLiteral("1.23457e+06"));
    QCOMPARE(draw.label(-15000).text(), QStringLiteral("-15000"));
    draw.setDivisor(0);   // counts as 1
    QCOMPARE(draw.divisor(), 1);
    QCOMPARE(draw.label(512).text(), QStringLiteral("512"));
    draw.setDivisor(-100);
    QCOMPARE(draw.divisor(), 1);
}

void TestSharedWidgets::scaleDivisorRefreshesCachedLabels()
{
    auto* draw = new ScaleProbe;
    QwtSlider slider(Qt::Horizontal);
    slider.setScaleDraw(draw);
    slider.setScalePosition(QwtSlider::TrailingScale);
    slider.setScale(0, 100000);
    QCOMPARE(draw->cachedLabel(50000), QStringLiteral("50000"));
    draw->setDivisor(1000);
    QCOMPARE(draw->cachedLabel(50000), QStringLiteral("50"));
    slider.resize(300, 60);
    QVERIFY(keepScreenshot(slider, QStringLiteral("sliderscale.png")));
}

// Texts come back in another weight or as rich text: a held label that remembers what each text
// needs still grows to show it whole.
void TestSharedWidgets::heldLabelShowsEveryTextWhole()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel(QStringLiteral("1 V"));
    layout->addWidget(label);
    window.show();
    LabelUpdates::holdSize(label);
    const struct { const char* text; bool bold; } steps[] = {
        {"12.34 V", false}, {"1 V", false}, {"12.34 V", true}, {"1 V", false}, {"123.45 V", false},
        {"1 V", true},      {"123.45 V", true}, {"25.5 <sup>O</sup>C", false}, {"1 V", false},
        {"25.5 <sup>O</sup>C", true}, {"1234567.8 V", true}};
    for (const auto& step : steps) {
        QFont font = label->font();
        font.setBold(step.bold);
        LabelUpdates::setFont(label, font);
        LabelUpdates::setText(label, QString::fromLatin1(step.text));
        const QSize need = label->sizeHint();
        QVERIFY2(label->width() >= need.width() && label->height() >= need.height(), step.text);
    }
}

// The line at the bottom of the multi-axis window, fed through the program log as the window
// feeds it: each step is a line logged ("level source message") or a settle ("settle key kind").
void TestSharedWidgets::messageLineShowsWhatMatters_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("level");
    const QString lostX = "2 Tolmo Motor X (SN 1) is lost.";
    QTest::newRow("warning") << QStringList{"2 Tolmo a warning"} << "a warning" << 2;
    QTest::newRow("error, in red") << QStringList{"1 Tolmo an error"} << "an error" << 1;
    QTest::newRow("the newer of two") << QStringList{"1 Tolmo older", "2 Script newer"} << "newer" << 2;
    QTest::newRow("information alone") << QStringList{"3 Tolmo all is well"} << "" << 0;
    QTest::newRow("information keeps a warning") << QStringList{"2 Tolmo a warning", "3 Tolmo all is well"}
                                                 << "a warning" << 2;
    QTest::newRow("back settles its axis' error")
        << QStringList{"1 Tolmo SN 1: Function get_status() failed", "3 Tolmo Motor X (SN 1) is back."}
        << "Motor X (SN 1) is back." << 3;
    QTest::newRow("back leaves another axis' error")
        << QStringList{"1 Tolmo SN 2: Function get_status() failed", "3 Tolmo Motor X (SN 1) is back."}
        << "SN 2: Function get_status() failed" << 1;
    QTest::newRow("library line of the same axis") << QStringList{lostX, "2 libtrov sim:a: open refused: no device"}
                                                   << "Motor X (SN 1) is lost." << 2;
    QTest::newRow("library line of another axis") << QStringList{lostX, "2 libtrov sim:b: open refused: no device"}
                                                  << "sim:b: open refused: no device" << 2;
    QTest::newRow("library line after a library line")
        << QStringList{"2 libtrov sim:a: open refused: no device", "2 libtrov sim:a: open refused: busy"}
        << "sim:a: open refused: busy" << 2;
    QTest::newRow("program line after a library line") << QStringList{"2 libtrov sim:a: open refused", lostX}
                                                       << "Motor X (SN 1) is lost." << 2;
    QTest::newRow("settled") << QStringList{"1 Tolmo SN 1: Function get_status() failed", "settle 1 Function get_"}
                             << "" << 0;
    QTest::newRow("settled by name") << QStringList{"1 Tolmo Motor X (SN 1): Function get_status() failed",
                                                    "settle 1 Function get_"} << "" << 0;
    QTest::newRow("settle of another kind")
        << QStringList{"1 Tolmo SN 1: Function command_home() failed", "settle 1 Function get_"}
        << "SN 1: Function command_home() failed" << 1;
    QTest::newRow("settle of another axis")
        << QStringList{"1 Tolmo SN 2: Function get_status() failed", "settle 1 Function get_"}
        << "SN 2: Function get_status() failed" << 1;
    QTest::newRow("settle leaves a later warning")
        << QStringList{"1 Tolmo SN 1: Function get_status() failed", "2 Tolmo a warning", "settle 1 Function get_"}
        << "a warning" << 2;
    QTest::newRow("a warning after the settle")
        << QStringList{"1 Tolmo SN 1: Function get_status() failed", "settle 1 Function get_", "2 Tolmo a warning"}
        << "a warning" << 2;
}

void TestSharedWidgets::messageLineShowsWhatMatters()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, shown);
    QFETCH(int, level);
    MessageLog log;
    messageLog = &log;
    const auto unset = qScopeGuard([] { messageLog = nullptr; });
    MessageLine line;
    line.resize(600, line.minimumHeight());
    line.setVisible(true);
    line.nameSubject("1", {"SN 1:", "(SN 1)"}, "sim:a:");
    line.nameSubject("2", {"SN 2:", "(SN 2)"}, "sim:b:");
    line.settleWith("Motor X (SN 1) is back.", {"SN 1:", "Motor X (SN 1)"});
    for (const QString& step : steps) {
        const QString first = step.section(QLatin1Char(' '), 0, 0);
        const QString second = step.section(QLatin1Char(' '), 1, 1);
        const QString rest = step.section(QLatin1Char(' '), 2);
        if (first == "settle") {
            // Lines logged just before, still in the log's queue, come first.
            line.settle(second, {rest});
        } else {
            log.InsertLine(QDateTime::currentDateTime(), rest, second, first.toInt());
        }
    }
    // The line takes what the log holds by itself, within a second.
    const QString expected = steps.last().startsWith("settle") || shown.isEmpty() ? QString() : "  " + shown;
    if (!expected.isEmpty()) {
        QTRY_VERIFY2_WITH_TIMEOUT(line.shownLine().endsWith(expected), qPrintable(line.shownLine()), scaledMs(1000));
    } else {
        QCoreApplication::processEvents();
    }
    QCOMPARE(line.shownLine().mid(10), shown);
    QCOMPARE(line.shownLevel(), level);
    QCOMPARE(line.text().isEmpty(), shown.isEmpty());
    QCOMPARE(line.toolTip().endsWith(": " + shown), !shown.isEmpty());
    if (!shown.isEmpty())
        QVERIFY(QTime::fromString(line.shownLine().left(8), QStringLiteral("hh:mm:ss")).isValid());
    QCOMPARE(line.palette().color(QPalette::WindowText) == QColor(Qt::red), level == 1);
}

QTEST_MAIN(TestSharedWidgets)
#include "tst_sharedwidgets.moc"
