#include <QtTest>

#include <QApplication>
#include <QStyle>
#include <QWidget>

#include "common/WindowPlacement.h"

// The frame a window is placed with before the window manager has framed it.
class TestWindowPlacement : public QObject
{
    Q_OBJECT

private slots:
    void frameOfAWindowNotFramedYet_data()
    {
        QTest::addColumn<bool>("framedBefore");
        // The style's title bar and border: placed without them, the title bar of a window
        // shown low on the screen would land below its bottom edge.
        QTest::newRow("none framed yet") << false;
        // Then the frame the window manager gave the last framed window.
        QTest::newRow("after a framed one") << true;
    }
    void frameOfAWindowNotFramedYet()
    {
        QFETCH(bool, framedBefore);
        QWidget fresh;
        fresh.resize(300, 200);
        QMargins expected;
        if (framedBefore) {
            QWidget shown;
            shown.resize(300, 200);
            shown.show();
            QVERIFY(QTest::qWaitForWindowExposed(&shown));
            const QRect outer = shown.frameGeometry(), inner = shown.geometry();
            expected = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                                outer.bottom() - inner.bottom());
            if (expected.isNull())
                QSKIP("This platform frames no window");
            QCOMPARE(windowFrame(shown), expected);
        }
        const QMargins guess = windowFrame(fresh);
        if (framedBefore) {
            QCOMPARE(guess, expected);
            return;
        }
        const int title = fresh.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &fresh);
        QVERIFY2(guess.top() >= title && guess.top() > guess.bottom() && guess.left() == guess.right(),
                 qPrintable(QStringLiteral("%1 %2 %3 %4").arg(guess.left()).arg(guess.top()).arg(guess.right()).arg(guess.bottom())));
    }
};

QTEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
