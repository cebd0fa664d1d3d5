#include <QtTest>
#include "support/TestTime.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMovie>
#include <QScreen>
#include <QWindow>

#include "widgets/InfoBox.h"
#include "support/Screenshot.h"

namespace {

QAbstractButton* button(InfoBox& box, QDialogButtonBox::StandardButton which)
{
    return box.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->button(which);
}

QLabel* label(InfoBox& box, const char* name)
{
    return box.findChild<QLabel*>(QLatin1String(name));
}

struct Spies
{
    explicit Spies(InfoBox& box)
        : accepted(&box, SIGNAL(accepted())),
          rejected(&box, SIGNAL(rejected())),
          cancelled(&box, SIGNAL(cancelled())),
          finished(&box, SIGNAL(finished(int)))
    {
    }
    QSignalSpy accepted;
    QSignalSpy rejected;
    QSignalSpy cancelled;
    QSignalSpy finished;
};

} // namespace

class TestInfoBox : public QObject
{
    Q_OBJECT

private slots:
    void newBoxShowsOnlyTheWaitPicture();
    void iconTypes();
    void okAcceptsOnce();
    void cancelRejectsOnce();
    void cancelWithoutClosingOnlyHides();
    void endStatesAnswerTheKeyboard_data();
    void endStatesAnswerTheKeyboard();
    void escapeAndWindowCloseActAsCancel();
    void ownerCloseEndsExec();
    void showNowPaintsOnceAndNeverNests();
    void rendersWithItsParts();
};

void TestInfoBox::newBoxShowsOnlyTheWaitPicture()
{
    InfoBox box;
    QVERIFY(box.closeOnCancel);
    QCOMPARE(box.windowTitle(), QStringLiteral("Tolmo"));
    QCOMPARE(box.windowModality(), Qt::ApplicationModal);
    QVERIFY(!(box.windowFlags() & Qt::WindowCloseButtonHint));
    const QRect screen = QGuiApplication::screens().first()->geometry();
    QCOMPARE(box.pos(), QPoint(screen.width() / 2 - box.width() / 2, screen.height() / 2 - box.height()));
    // Built ahead of its use, it decodes no frames until it is shown.
    QCOMPARE(label(box, "movieLabel")->movie()->state(), QMovie::Paused);

    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QVERIFY(!label(box, "iconLabel")->isVisible());
    QVERIFY(label(box, "textLabel")->text().isEmpty());
    QVERIFY(!box.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->isVisible());
    QLabel* movie = label(box, "movieLabel");
    QVERIFY(movie->isVisible());
    QVERIFY(movie->movie());
    QVERIFY(movie->movie()->isValid());
    QVERIFY(movie->movie()->frameCount() > 1);
    QCOMPARE(movie->movie()->state(), QMovie::Running);
    QCOMPARE(movie->movie()->speed(), 250);

    box.hide();
    QCOMPARE(movie->movie()->state(), QMovie::Paused);
    box.showNow();
    QCOMPARE(movie->movie()->state(), QMovie::Running);
}

void TestInfoBox::iconTypes()
{
    InfoBox box;
    box.show();
    QLabel* icon = label(box, "iconLabel");
    box.setIconType(2);
    QVERIFY(icon->isVisible());
    const QImage warning = icon->pixmap(Qt::ReturnByValue).toImage();
    QCOMPARE(icon->pixmap(Qt::ReturnByValue).size(), QSize(32, 32));
    box.setIconType(7);
    QVERIFY(icon->isVisible());
    QCOMPARE(icon->pixmap(Qt::ReturnByValue).toImage(), warning);
    box.setIconType(3);
    QVERIFY(icon->pixmap(Qt::ReturnByValue).toImage() != warning);
    box.setIconType(0);
    QVERIFY(!icon->isVisible());
}

void TestInfoBox::okAcceptsOnce()
{
    InfoBox box;
    box.setText(QStringLiteral("Done"));
    box.setButtons(QDialogButtonBox::Ok);
    Spies spies(box);
    QTimer::singleShot(0, &box, [&box] { button(box, QDialogButtonBox::Ok)->click(); });
    QCOMPARE(box.exec(), int(QDialog::Accepted));
    QCOMPARE(spies.accepted.count(), 1);
    QCOMPARE(spies.rejected.count(), 0);
    QCOMPARE(spies.cancelled.count(), 0);
    QCOMPARE(spies.finished.count(), 1);
    QVERIFY(!box.isVisible());
}

void TestInfoBox::cancelRejectsOnce()
{
    InfoBox box;
    box.setButtons(QDialogButtonBox::Cancel);
    Spies spies(box);
    QTimer::singleShot(0, &box, [&box] { button(box, QDialogButtonBox::Cancel)->click(); });
    QCOMPARE(box.exec(), int(QDialog::Rejected));
    QCOMPARE(spies.rejected.count(), 1);
    QCOMPARE(spies.cancelled.count(), 1);
    QCOMPARE(spies.accepted.count(), 0);
    QVERIFY(!box.isVisible());
}

void TestInfoBox::cancelWithoutClosingOnlyHides()
{
    InfoBox box;
    box.closeOnCancel = false;
    box.setButtons(QDialogButtonBox::Cancel);
    Spies spies(box);
    QList<int> order;
    connect(&box, &QDialog::rejected, &box, [&order] { order << 1; });
    connect(&box, &InfoBox::cancelled, &box, [&order] { order << 2; });
    QTimer::singleShot(0, &box, [&box] { button(box, QDialogButtonBox::Cancel)->click(); });
    QCOMPARE(box.exec(), int(QDialog::Rejected));
    QCOMPARE(order, QList<int>({1, 2}));
    QCOMPARE(spies.rejected.count(), 1);
    QCOMPARE(spies.cancelled.count(), 1);
    QVERIFY(!box.isVisible());

    box.showNow();
    QVERIFY(box.isVisible());
    button(box, QDialogButtonBox::Cancel)->click();
    QCOMPARE(spies.cancelled.count(), 2);
    QVERIFY(!box.isVisible());
}

void TestInfoBox::endStatesAnswerTheKeyboard_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("key");    // 0: the window manager's close (its button, Alt+F4)
    QTest::addColumn<QString>("outcome");
    // What Return, Enter and Space give, then what Escape and the close give. A Cancel there when
    // the box shows becomes Qt's default button: Return presses it.
    const char* const states[][3] = {
        {"result on the wait box", "accepted", "accepted"},
        {"result after Cancel was offered", "accepted", "accepted"},
        {"result shown at once", "accepted", "accepted"},
        {"waiting, Cancel from the start", "cancelled", "cancelled"},
        {"waiting, Cancel offered while shown", "stays", "cancelled"},
        {"waiting without buttons", "stays", "stays"},
        {"waiting, last result's Ok hidden", "stays", "stays"},
    };
    for (const auto& row : states) {
        for (int key : {int(Qt::Key_Return), int(Qt::Key_Enter), int(Qt::Key_Space), int(Qt::Key_Escape), 0})
            QTest::addRow("%s, %s", row[0], key ? qPrintable(QKeySequence(key).toString()) : "close")
                << row[0] << key << (key == Qt::Key_Escape || key == 0 ? row[2] : row[1]);
    }
}

// Built as their owners build them, then answered through the window like a user does.
void TestInfoBox::endStatesAnswerTheKeyboard()
{
    QFETCH(QString, state);
    QFETCH(int, key);
    QFETCH(QString, outcome);
    InfoBox box;
    box.closeOnCancel = false;
    if (state == "result shown at once" || state == "waiting, Cancel from the start") {
        box.setButtons(state.startsWith("result") ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
    } else if (state == "waiting, last result's Ok hidden") {
        box.showResult(false, QStringLiteral("Failed"));
        box.hide();
        box.setButtonsVisible(false);
        box.setMovieVisible(true);
    }
    box.showNow();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    if (state.startsWith("result after") || state.endsWith("offered while shown"))
        box.setButtons(QDialogButtonBox::Cancel);
    const bool result = state.startsWith("result");
    if (result && state != "result shown at once")
        box.showResult(true, QStringLiteral("Done"));
    auto* ok = qobject_cast<QPushButton*>(button(box, QDialogButtonBox::Ok));
    QVERIFY(!result || (ok->isDefault() && box.focusWidget() == ok));
    Spies spies(box);
    if (key)
        QTest::keyClick(box.windowHandle(), Qt::Key(key));
    else
        box.windowHandle()->close();
    QCOMPARE(box.isVisible(), outcome == "stays");
    QCOMPARE(spies.accepted.count(), outcome == "accepted" ? 1 : 0);
    QCOMPARE(spies.cancelled.count(), outcome == "cancelled" ? 1 : 0);
}

void TestInfoBox::escapeAndWindowCloseActAsCancel()
{
    InfoBox box;
    box.setButtons(QDialogButtonBox::Cancel);
    Spies spies(box);
    QTimer::singleShot(0, &box, [&box] { QTest::keyClick(&box, Qt::Key_Escape); });
    QCOMPARE(box.exec(), int(QDialog::Rejected));
    QCOMPARE(spies.rejected.count(), 1);
    QCOMPARE(spies.cancelled.count(), 1);

    QTimer::singleShot(0, &box, [&box] { box.windowHandle()->close(); });
    QCOMPARE(box.exec(), int(QDialog::Rejected));
    QCOMPARE(spies.rejected.count(), 2);
    QCOMPARE(spies.cancelled.count(), 2);

    // A hidden Cancel button is no Cancel.
    box.setButtonsVisible(false);
    box.showNow();
    QTest::keyClick(&box, Qt::Key_Escape);
    QVERIFY(box.isVisible());
    QCOMPARE(spies.cancelled.count(), 2);
}

void TestInfoBox::ownerCloseEndsExec()
{
    InfoBox box;
    box.setButtons(QDialogButtonBox::Cancel);
    Spies spies(box);
    QTimer::singleShot(0, &box, [&box] { box.close(); });
    box.exec();
    QVERIFY(!box.isVisible());
    QCOMPARE(spies.cancelled.count(), 0);
    QCOMPARE(spies.accepted.count(), 0);

    // Deleting the box while it runs ends exec() too.
    QPointer<InfoBox> doomed = new InfoBox;
    QTimer::singleShot(0, doomed, [doomed] { doomed->deleteLater(); });
    doomed->exec();
    QTRY_VERIFY_WITH_TIMEOUT(doomed.isNull(), scaledMs(5000));
}

void TestInfoBox::showNowPaintsOnceAndNeverNests()
{
    InfoBox box;
    int first = 0;
    QTimer::singleShot(0, &box, [&first] { ++first; });
    box.showNow();
    QVERIFY(box.isVisible());
    QCOMPARE(first, 1);

    // Already shown: no event is processed behind the caller's back.
    int second = 0;
    QTimer::singleShot(0, &box, [&second] { ++second; });
    box.showNow();
    QCOMPARE(second, 0);
    QCoreApplication::processEvents();
    QCOMPARE(second, 1);

    // A slot that runs inside showNow and calls it again does not process events again.
    box.hide();
    int inner = 0;
    int seenInside = -1;
    QTimer::singleShot(0, &box, [&] {
        box.hide();
        QTimer::singleShot(0, &box, [&inner] { ++inner; });
        box.showNow();
        seenInside = inner;
    });
    box.showNow();
    QCOMPARE(seenInside, 0);
}

void TestInfoBox::rendersWithItsParts()
{
    InfoBox box;
    box.setIconType(1);
    box.setText(QStringLiteral("Stopping, please wait..."));
    box.setButtons(QDialogButtonBox::Cancel);
    box.showNow();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("textLabel"))->text(), QStringLiteral("Stopping, please wait..."));
    const QPixmap shot = box.grab();
    QVERIFY(!shot.isNull());
    QVERIFY(keepScreenshot(box, QStringLiteral("infobox.png")));
    for (const char* name : {"iconLabel", "textLabel", "movieLabel", "buttonBox"}) {
        QVERIFY2(box.findChild<QWidget*>(QLatin1String(name)), name);
    }
}

QTEST_MAIN(TestInfoBox)
#include "tst_infobox.moc"
