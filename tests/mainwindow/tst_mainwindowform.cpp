#include <QtTest>

#include <QDirIterator>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolButton>

#include <qwt_slider.h>

#include "mainwindow/MainWindowForm.h"
#include "widgets/ProgramResources.h"
#include "support/Screenshot.h"

// The form alone, on a window that has the one slot the form connects itself.
class FormHost : public QMainWindow
{
    Q_OBJECT

public:
    FormHost() { form.setupUi(this); }
    Ui::MainWindowClass form;
    int exits = 0;

public slots:
    void OnExitBtnPressed() { ++exits; }
};

class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowProperties();
    void namesAndTexts_data();
    void namesAndTexts();
    void pictures();
    void sliderAndTargets();
    void exitButtonIsConnected();
    void rendersOffscreen();
    void everyPictureLoads();
};

void TestMainWindowForm::initTestCase()
{
    loadProgramResources();
}

void TestMainWindowForm::windowProperties()
{
    FormHost window;
    QCOMPARE(window.objectName(), QStringLiteral("MainWindowClass"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Tolmo"));
    QCOMPARE(window.size(), QSize(649, 470));
    QCOMPARE(window.contextMenuPolicy(), Qt::DefaultContextMenu);
    QVERIFY(window.statusTip().isEmpty());
    QVERIFY(!window.windowIcon().isNull());
    QVERIFY(window.statusBar()->isSizeGripEnabled());
    QCOMPARE(window.statusBar()->objectName(), QStringLiteral("statusBar"));
    QVERIFY(window.findChild<QTableWidget*>(QStringLiteral("logEdit")));
}

void TestMainWindowForm::namesAndTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    const char* rows[][3] = {
        {"groupBox", "QGroupBox", "Power"},
        {"sourceLbl", "QLabel", "Source:"},            {"sourceValue", "QLabel", "n/a"},
        {"pwrVoltageLbl", "QLabel", "Power voltage:"}, {"pwrVoltageValue", "QLabel", "n/a"},
        {"pwrCurrentLbl", "QLabel", "Power current:"}, {"pwrCurrentValue", "QLabel", "n/a"},
        {"usbVoltageLbl", "QLabel", "USB voltage:"},   {"usbVoltageValue", "QLabel", "n/a"},
        {"usbCurrentLbl", "QLabel", "USB current:"},   {"usbCurrentValue", "QLabel", "n/a"},
        {"temperatureLbl", "QLabel", "Temp.:"},        {"temperatureValue", "QLabel", "n/a"},
        {"groupBox_3", "QGroupBox", "Motor"},
        {"speedLbl", "QLabel", "Speed:"},              {"speedValue", "QLabel", "-15000 rpm"},
        {"deviceLbl", "QLabel", "Command:"},           {"deviceValue", "QLabel", "n/a1234567"},
        {"pwmLbl", "QLabel", "Mode:"},                 {"pwmValue", "QLabel", "n/a"},
        {"pwrLbl", "QLabel", "Power:"},                {"pwrValue", "QLabel", "n/a"},
        {"frame", "QFrame", ""},
        {"movingStateLbl", "QLabel", ""}, {"targetSpeedLbl", "QLabel", ""}, {"antiplayLbl", "QLabel", ""},
        {"mainBox", "QGroupBox", "Control"},
        {"positionValue", "QLabel", "0"},              {"encoderValue", "QLabel", "0"},
        {"lBdrInd", "QLabel", ""},                     {"rBdrInd", "QLabel", ""},
        {"positionSldr", "QwtSlider", ""},
        {"divisorLbl", "QLabel", ""},
        {"leftBdrBtn", "QToolButton", ""}, {"leftBtn", "QToolButton", ""}, {"sstpBtn", "QToolButton", ""},
        {"rightBtn", "QToolButton", ""},   {"rightBdrBtn", "QToolButton", ""},
        {"moveBtn", "QPushButton", "Move to"},         {"shiftBtn", "QPushButton", "Shift on"},
        {"settingsBtn", "QPushButton", "&Settings..."}, {"chartBtn", "QPushButton", "&Chart..."},
        {"scriptBtn", "QPushButton", "Scripting..."},  {"homeBtn", "QPushButton", "Go home"},
        {"cyclicBtn", "QPushButton", "Cyclic"},        {"zeroBtn", "QPushButton", "Zero"},
        {"stopBtn", "QPushButton", "Stop"},            {"saveLogBtn", "QPushButton", "Save log"},
        {"clearLogBtn", "QPushButton", "Clear log"},   {"exitBtn", "QPushButton", "E&xit"},
        {"logEdit", "QTableWidget", ""},               {"gridLayout_4", "QGridLayout", ""},
    };
    for (const auto& row : rows) {
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1])
                              << QString::fromLatin1(row[2]);
    }
}

void TestMainWindowForm::namesAndTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, text);
    FormHost window;
    QObject* object = window.findChild<QObject*>(name);
    QVERIFY2(object, qPrintable(name));
    QVERIFY2(object->inherits(type.toLatin1().constData()), object->metaObject()->className());
    if (auto* box = qobject_cast<QGroupBox*>(object)) {
        QCOMPARE(box->title(), text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        QCOMPARE(button->text(), text);
    } else if (auto* label = qobject_cast<QLabel*>(object); label && !text.isEmpty()) {
        QCOMPARE(label->text(), text);
    }
}

void TestMainWindowForm::pictures()
{
    FormHost window;
    for (const char* name : {"movingStateLbl", "targetSpeedLbl", "antiplayLbl"}) {
        const QLabel* label = window.findChild<QLabel*>(QLatin1String(name));
        QVERIFY2(!label->pixmap(Qt::ReturnByValue).isNull(), name);
    }
    const struct { const char* name; QSize size; } tools[] = {
        {"leftBdrBtn", {48, 12}}, {"leftBtn", {16, 12}}, {"sstpBtn", {16, 12}},
        {"rightBtn", {16, 12}},   {"rightBdrBtn", {48, 12}},
    };
    for (const auto& tool : tools) {
        const QToolButton* button = window.findChild<QToolButton*>(QLatin1String(tool.name));
        QVERIFY2(!button->icon().pixmap(tool.size).isNull(), tool.name);
        QCOMPARE(button->iconSize(), tool.size);
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QVERIFY(button->minimumWidth() >= 48 && button->minimumHeight() >= 24);
    }
    const QLabel* divisor = window.findChild<QLabel*>(QStringLiteral("divisorLbl"));
    QCOMPARE(divisor->textFormat(), Qt::RichText);
    QVERIFY(divisor->text().contains(QStringLiteral("x10<sup>123</sup>")));
    QCOMPARE(divisor->font().pointSize(), 10);
    const QLabel* position = window.findChild<QLabel*>(QStringLiteral("positionValue"));
    QCOMPARE(position->font().pointSize(), 30);
    QVERIFY(position->font().bold());
}

void TestMainWindowForm::sliderAndTargets()
{
    FormHost window;
    const QwtSlider* slider = window.findChild<QwtSlider*>(QStringLiteral("positionSldr"));
    QVERIFY(!slider->isEnabled());
    QCOMPARE(slider->orientation(), Qt::Horizontal);
    QCOMPARE(slider->handleSize(), QSize(30, 12));
    QCOMPARE(slider->borderWidth(), 1);
    const QGridLayout* grid = window.findChild<QGridLayout*>(QStringLiteral("gridLayout_4"));
    int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(grid->indexOf(window.form.moveBtn), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QPoint(column, row), QPoint(1, 0));
    grid->getItemPosition(grid->indexOf(window.form.shiftBtn), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QPoint(column, row), QPoint(1, 1));
    QVERIFY(!window.form.cyclicBtn->isCheckable());
}

void TestMainWindowForm::exitButtonIsConnected()
{
    FormHost window;
    window.form.exitBtn->click();
    QCOMPARE(window.exits, 1);
    window.form.stopBtn->click();
    QCOMPARE(window.exits, 1);
}

void TestMainWindowForm::rendersOffscreen()
{
    FormHost window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPixmap shot = window.grab();
    QCOMPARE(shot.size(), window.size());
    QVERIFY(keepScreenshot(window, QStringLiteral("mainwindow_form.png")));
    // The three columns stand side by side above the log table.
    const QRect power = window.form.groupBox->geometry();
    const QRect control = window.form.mainBox->geometry();
    const QRect exit = window.form.exitBtn->mapTo(window.centralWidget(), QPoint(0, 0)).x() > 0
                           ? QRect(window.form.exitBtn->mapTo(window.centralWidget(), QPoint(0, 0)),
                                   window.form.exitBtn->size())
                           : QRect();
    QVERIFY(power.right() < control.left());
    QVERIFY(control.right() < exit.left());
    QVERIFY(window.form.logEdit->geometry().top() > control.bottom());
    // The form fits its initial size and no value or caption is cut off.
    QCOMPARE(window.size(), QSize(649, 470));
    for (QGroupBox* box : {window.form.groupBox, window.form.groupBox_3}) {
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            QVERIFY2(label->width() >= label->minimumSizeHint().width(), qPrintable(label->objectName()));
        }
    }
}

void TestMainWindowForm::everyPictureLoads()
{
    int count = 0;
    QDirIterator it(QStringLiteral(":/"), QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.endsWith(QLatin1String(".svg")) && !path.endsWith(QLatin1String(".gif"))) {
            continue;
        }
        QImageReader reader(path);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(path + QLatin1String(": ") + reader.errorString()));
        ++count;
    }
    QVERIFY(count >= 19);
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
