#include <QtTest>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <memory>

#include "device/DeviceInterface.h"
#include "log/MessageLog.h"
#include "mainwindow/MainWindow.h"
#include "multiaxis/Multiaxis.h"
#include "settingsdlg/SettingsDlg.h"
#include "support/MultiaxisWindowRig.h"
#include "support/RecordingPrompter.h"
#include "support/SimulatedAxis.h"

// Every page of the settings dialog, opened from either window at the size it opens with, shows
// its labels whole.

namespace {

// A visible widget narrower than its text goes into cut.
void noteIfCut(QWidget* widget, const QString& text, QStringList* cut)
{
    if (widget->isVisible() && !text.isEmpty() && widget->sizeHint().width() > widget->width())
        cut->append(QStringLiteral("%1 \"%2\" (%3 of %4)")
                        .arg(widget->objectName(), text)
                        .arg(widget->width())
                        .arg(widget->sizeHint().width()));
}

// The texts of the labels, check boxes and radio buttons of the widget that are cut.
QStringList cutTexts(QWidget* shown)
{
    QStringList cut;
    for (QLabel* label : shown->findChildren<QLabel*>()) {
        if (!label->wordWrap() && !label->hasScaledContents())
            noteIfCut(label, label->text(), &cut);
    }
    for (QAbstractButton* button : shown->findChildren<QAbstractButton*>()) {
        if (qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button))
            noteIfCut(button, button->text(), &cut);
    }
    return cut;
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace

class TestSettingsLabels : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<MessageLog> log;
    RecordingPrompter prompter;

    // Walks the usable pages of the shown dialog: each is rendered into the home folder (kept
    // with TOLMO_KEEP_SCREENSHOTS set) and its cut texts are collected.
    QStringList walkPages(SettingsDlg& dialog, const QString& kind)
    {
        QStringList cut;
        auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("treeWgt"));
        tree->expandAll();
        settle();
        const int names = static_cast<QAbstractItemView*>(tree)->sizeHintForColumn(0);
        if (names > tree->viewport()->width())
            cut << QStringLiteral("the page tree (%1 of %2)").arg(tree->viewport()->width()).arg(names);
        for (int position = 0; position < dialog.treeItems.size(); ++position) {
            QTreeWidgetItem* item = dialog.treeItems.at(position);
            if (!(item->flags() & Qt::ItemIsEnabled))
                continue;
            tree->setCurrentItem(item);
            settle();
            // The whole page at the width the dialog gives it, the part below the fold too.
            dialog.pages.at(position)->grab().save(home.filePath(QStringLiteral("%1_page_%2.png").arg(kind).arg(position)));
            for (const QString& text : cutTexts(dialog.pages.at(position)))
                cut << item->text(0) + QStringLiteral(": ") + text;
        }
        dialog.grab().save(home.filePath(kind + QStringLiteral("_dialog.png")));
        return cut;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        home.setAutoRemove(!qEnvironmentVariableIsSet("TOLMO_KEEP_SCREENSHOTS"));
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("TOLMO_SHARE_DIR", QFile::encodeName(home.filePath(QStringLiteral("share"))));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("share"))));
        QFile defaults(home.filePath(QStringLiteral("share/tolmodefault.cfg")));
        QVERIFY(defaults.open(QIODevice::WriteOnly));
        defaults.close();
        log = std::make_unique<MessageLog>();
        messageLog = log.get();
        MessagePrompter::install(&prompter);
    }

    void cleanupTestCase()
    {
        MessagePrompter::install(nullptr);
        messageLog = nullptr;
        log.reset();
    }

    void singleAxisWindowsDialog()
    {
        std::unique_ptr<DeviceInterface> gateway;
        std::atomic<device_t> handle{openOnFreshSimulator(gateway, "sim:axis1")};
        QVERIFY(handle != -1);
        {
            MainWindow window(nullptr, handle, QStringLiteral("sim:axis1"), gateway.get());
            window.setAttribute(Qt::WA_DeleteOnClose, false);
            QCOMPARE(window.init(), MainWindow::InitStatus::Ready);
            window.show();
            window.OnSettingsBtnPressed();
            SettingsDlg& dialog = *window.settingsDialog();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            const QStringList cut = walkPages(dialog, QStringLiteral("single"));
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
        }
        handle = -1;
        closeAndRelease(gateway, handle);
    }

    void multiAxisWindowsDialogs()
    {
        MultiaxisWindowRig rig(3, "axis1:10001:stepper:stage;axis2:10002:dc;axis3:10003:bldc");
        Multiaxis& w = *rig.window;
        w.show();
        QStringList cut;
        for (int slot = 0; slot < 3; ++slot) {
            w.findChild<QPushButton*>(QStringLiteral("pushButton_settings_%1").arg(slot + 1))->click();
            SettingsDlg& dialog = *w.settingsDlgs[w.axisOrder[slot]];
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            cut << walkPages(dialog, QStringLiteral("multi%1").arg(slot + 1));
            dialog.hide();
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestSettingsLabels)
#include "tst_settingslabels.moc"
