#include <QtTest>

#include <QDesktopServices>
#include <QLabel>

#include "device/StartupGlobals.h"
#include "settingsdlg/PageAboutWgt.h"
#include "support/PageRender.h"

class UrlCatcher : public QObject
{
    Q_OBJECT

public slots:
    void open(const QUrl& url) { opened << url; }

public:
    QList<QUrl> opened;
};

class TestPageAboutWgt : public QObject
{
    Q_OBJECT

private slots:
    void versionText_data()
    {
        QTest::addColumn<QString>("published");
        QTest::addColumn<QString>("shown");
        QTest::newRow("multi-axis: none published") << QString() << programVersionText();
        QTest::newRow("published") << "2.3.4" << "2.3.4";
    }
    void versionText()
    {
        QFETCH(QString, published);
        QFETCH(QString, shown);
        programVersion = published;
        PageAboutWgt page(nullptr);
        QCOMPARE(page.findChild<QLabel*>("versionValue")->text(), shown);
        QVERIFY(!shown.isEmpty());
        programVersion.clear();
    }

    void formAndLink_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("the build's: none") << PageAboutWgt::projectPageUrl();
        QTest::newRow("given") << "https://downloads.example.net/tolmo";
    }
    void formAndLink()
    {
        QFETCH(QString, address);
        PageAboutWgt page(nullptr, address);
        QCOMPARE(missingObjectNames(&page, {"PageAboutWgtClass", "gridLayout", "label", "versionValue"}), QString());
        QVERIFY(!renderPage(&page, "pageaboutwgt").isEmpty());
        auto* link = page.findChild<QLabel*>("linkLbl");
        // No link to a site that does not exist.
        QCOMPARE(link != nullptr, !address.isEmpty());
        if (!link)
            return;
        QVERIFY(link->text().contains("Latest Tolmo software can be found here"));

        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("https", &catcher, "open");
        // As a click on the link does.
        QMetaObject::invokeMethod(link, "linkActivated", Q_ARG(QString, address));
        QDesktopServices::unsetUrlHandler("https");
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(address)});
    }
};

QTEST_MAIN(TestPageAboutWgt)
#include "tst_pageaboutwgt.moc"
