#include <QtTest>

#include <QPushButton>

#include <memory>

#include "chartdlg/GraphSettings.h"
#include "log/LogSettings.h"
#include "pages/ControllerPageWgt.h"
#include "pages/StagePageWgt.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/StageSettings.h"
#include "settings_model/CyclicSettings.h"
#include "settingsdlg/PageGraphWgt.h"
#include "settingsdlg/ProgramPageWgt.h"
#include "settingsdlg/SettingsPageFactory.h"
#include "support/PageRecords.h"

class TestSettingsPageFactory : public QObject
{
    Q_OBJECT

private slots:
    void everyPositionHasItsKind();
    void placeholdersOfferWhatTheDialogCalls();

private:
    PageRecords records;
    SettingsPageContext context() { return records.context(); }
};

void TestSettingsPageFactory::everyPositionHasItsKind()
{
    QVERIFY(!SettingsPageFactory::create(-1, context()));
    QVERIFY(!SettingsPageFactory::create(SettingsPageFactory::pageCount, context()));
    for (int position = 0; position < SettingsPageFactory::pageCount; ++position) {
        std::unique_ptr<QWidget> page(SettingsPageFactory::create(position, context()));
        QVERIFY(page && !page->parent());
        const int parent = SettingsPageFactory::parentPosition(position);
        QVERIFY(parent < position);
        const bool controller = position >= 1 && position <= 16;
        const bool stagePage = position >= 43;
        const bool program = position >= 17 && position <= 40;
        QVERIFY2(bool(qobject_cast<ControllerPageWgt*>(page.get())) == controller, SettingsPageFactory::treeText(position));
        QVERIFY2(bool(qobject_cast<StagePageWgt*>(page.get())) == stagePage, SettingsPageFactory::treeText(position));
        QVERIFY2(bool(qobject_cast<ProgramPageWgt*>(page.get())) == program, SettingsPageFactory::treeText(position));
    }
    QCOMPARE(SettingsPageFactory::treeText(3), "Motor & Driver type");
    QCOMPARE(SettingsPageFactory::treeText(24), "Flags");
    QCOMPARE(SettingsPageFactory::parentPosition(24), 20);
    QCOMPARE(SettingsPageFactory::treeText(41), "About");
    QCOMPARE(SettingsPageFactory::parentPosition(48), 42);
    std::unique_ptr<QWidget> pot(SettingsPageFactory::create(40, context()));
    QCOMPARE(qobject_cast<PageGraphWgt*>(pot.get())->groupName(), QStringLiteral("Graph_pot_setup"));
}

void TestSettingsPageFactory::placeholdersOfferWhatTheDialogCalls()
{
    records.motor.edges.LeftBorder = -40;
    records.motor.edges.RightBorder = 70;
    std::unique_ptr<QWidget> borders(SettingsPageFactory::create(1, context()));
    QSignalSpy changed(borders.get(), SIGNAL(SgnChangeValues()));
    qobject_cast<ControllerPageWgt*>(borders.get())->FromClassToUi();
    QCOMPARE(changed.count(), 2);    // once per border that changed
    int left = 0;
    int right = 0;
    QVERIFY(QMetaObject::invokeMethod(borders.get(), "leftBorderSteps", Q_RETURN_ARG(int, left)));
    QVERIFY(QMetaObject::invokeMethod(borders.get(), "rightBorderSteps", Q_RETURN_ARG(int, right)));
    QCOMPARE(left, -40);
    QCOMPARE(right, 70);

    std::unique_ptr<QWidget> about(SettingsPageFactory::create(16, context()));
    QVERIFY(QMetaObject::invokeMethod(about.get(), "defaultLocationChanged", Q_ARG(bool, false)));

    std::unique_ptr<QWidget> slider(SettingsPageFactory::create(17, context()));
    QVERIFY(slider->findChild<QPushButton*>("UpdateBtn"));
    QVERIFY(slider->metaObject()->indexOfSignal("SgnChangeValues()") >= 0);
    QVERIFY(QMetaObject::invokeMethod(slider.get(), "setUnitSuffix", Q_ARG(unsigned int, 3u)));
    QVERIFY(QMetaObject::invokeMethod(slider.get(), "leftPoint", Q_RETURN_ARG(int, left)));
}

QTEST_MAIN(TestSettingsPageFactory)
#include "tst_settingspagefactory.moc"
