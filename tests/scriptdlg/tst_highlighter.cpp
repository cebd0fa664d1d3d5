// The editor's colours: one table of lines and the spans they must show.
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>

#include "scriptdlg/Highlighter.h"

namespace {

// "start+length colour [bold]", from the formats the highlighter left on one block.
QStringList spans(const QTextBlock& block)
{
    QStringList out;
    const QHash<QRgb, QString> names = {{QColor(Qt::darkBlue).rgb(), "darkBlue"},   {QColor(Qt::darkGreen).rgb(), "darkGreen"},
                                        {QColor(Qt::darkRed).rgb(), "darkRed"},     {QColor(Qt::darkMagenta).rgb(), "darkMagenta"},
                                        {QColor(Qt::blue).rgb(), "blue"},           {QColor(Qt::gray).rgb(), "gray"}};
    for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
        QString text = QStringLiteral("%1+%2 %3").arg(range.start).arg(range.length)
                           .arg(names.value(range.format.foreground().color().rgb(), "other"));
        if (range.format.fontWeight() == QFont::Bold)
            text += " bold";
        out << text;
    }
    return out;
}

} // namespace

class TestHighlighter : public QObject
{
    Q_OBJECT
private slots:
    void lines_data()
    {
        QTest::addColumn<QString>("text"); // lines joined by \n
        QTest::addColumn<int>("line");     // the line checked
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("state");
        QTest::newRow("keyword, number") << "int x = 5;" << 0 << QStringList{"0+3 darkBlue bold", "8+1 darkGreen"} << 0;
        QTest::newRow("negative") << "x = -5" << 0 << QStringList{"4+2 darkRed"} << 0;
        QTest::newRow("a-5") << "a-5" << 0 << QStringList{"1+2 darkRed"} << 0;
        QTest::newRow("1.2.3") << "1.2.3" << 0 << QStringList{"0+5 darkGreen"} << 0;
        QTest::newRow("move call") << "move(1, 2)" << 0 << QStringList{"0+4 blue", "5+1 darkGreen", "8+1 darkGreen"} << 0;
        QTest::newRow("foo call") << "foo(1)" << 0 << QStringList{"0+3 darkMagenta", "4+1 darkGreen"} << 0;
        QTest::newRow("int(") << "int(" << 0 << QStringList{"0+3 darkMagenta"} << 0;
        QTest::newRow("record calls") << "get_move_settings( set_stage_information( get_status("
                                      << 0 << QStringList{"0+17 blue", "19+21 blue", "42+10 darkMagenta"} << 0;
        QTest::newRow("no parenthesis") << "newaxis msleep moves" << 0 << QStringList{"0+7 blue", "8+6 blue"} << 0;
        QTest::newRow("line comment") << "x = 1; // move(2)" << 0 << QStringList{"4+1 darkGreen", "7+10 gray"} << 0;
        QTest::newRow("slashes in quotes") << "s = \"//\"" << 0 << QStringList{"5+3 gray"} << 0;
        QTest::newRow("block opens") << "a /* b\nc */ d" << 0 << QStringList{"2+4 gray"} << 1;
        QTest::newRow("block closes") << "a /* b\nc */ d1" << 1 << QStringList{"0+4 gray"} << 0;
        QTest::newRow("comment in line comment") << "// /* x\ny" << 1 << QStringList{"0+1 gray"} << 1;
        QTest::newRow("/*/") << "/*/ 5" << 0 << QStringList{"0+3 gray", "4+1 darkGreen"} << 0;
    }

    void lines()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(QStringList, expected);
        QFETCH(int, state);
        QTextDocument document;
        document.setPlainText(text);
        (new Highlighter(&document))->rehighlight(); // attaching highlights only later, from the event loop
        const QTextBlock block = document.findBlockByNumber(line);
        QCOMPARE(spans(block), expected);
        QCOMPARE(block.userState(), state);
    }
};

QTEST_MAIN(TestHighlighter)
#include "tst_highlighter.moc"
