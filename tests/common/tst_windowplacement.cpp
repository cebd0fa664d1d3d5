#include <QtTest>

#include <QStyle>
#include <QWidget>

#include "common/WindowPlacement.h"

// The frame a window is placed with before the window manager has framed it: the style's title
// bar and border at first (without them a window shown low on the screen puts its title bar
// below the screen's edge), then the frame of the last window framed.
class TestWindowPlacement : public QObject
{
    Q_OBJECT

private slots:
    void frameOfAWindowNotFramedYet_data()
    {
        QTest::addColumn<bool>("framedBefore");
        QTest::newRow("none framed yet") << false;
        QTest::newRow("after a framed one") << true;
    }
    void frameOfAWindowNotFramedYet()
    {
        QFETCH(bool, framedBefore);
        QWidget shown, fresh;
        const int title = fresh.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &fresh);
        QMargins expected(0, title, 0, 0);
        if (framedBefore) {
            shown.show();
            QVERIFY(QTest::qWaitForWindowExposed(&shown));
            const QRect outer = shown.frameGeometry(), inner = shown.geometry();
            expected = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                                outer.bottom() - inner.bottom());
            if (expected.isNull())
                QSKIP("This platform frames no window");
            QCOMPARE(windowFrame(shown), expected);  // learnt
            QCOMPARE(windowFrame(fresh), expected);
            return;
        }
        const QMargins guess = windowFrame(fresh);
        QVERIFY(guess.top() >= expected.top() && guess.top() > guess.bottom() && guess.left() == guess.right());
    }
};

QTEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
