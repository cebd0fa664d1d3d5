#include "common/FieldText.h"
#include "common/IniSaver.h"
#include "common/IniSettings.h"
#include "common/IniText.h"
#include "common/ProgramSettingsFile.h"
#include "settings_model/StageSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Qt decodes this to the number 5; it stands for any serialized object.
const QByteArray five("@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)");
const QString fiveText = QStringLiteral("@Variant(") + QString(3, QChar(0)) + QChar(2) + QString(3, QChar(0))
                         + QChar(5) + QStringLiteral(")");

bool holdsNumber(const QVariant& value)
{
    if (value.userType() == QMetaType::QVariantList) {
        for (const QVariant& entry : value.toList()) {
            if (holdsNumber(entry))
                return true;
        }
        return false;
    }
    return value.userType() == QMetaType::Int;
}

} // namespace

class TestIniText : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void programTextsRoundTrip_data();
    void programTextsRoundTrip();
    void readsAsQtReads_data();
    void readsAsQtReads();
    void filesQtWroteRead();

private:
    QString write(const QByteArray& bytes);
    QScopedPointer<QTemporaryDir> dir;
    int files = 0;
};

void TestIniText::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
}

QString TestIniText::write(const QByteArray& bytes)
{
    const QString path = dir->filePath(QStringLiteral("f%1.ini").arg(++files));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

void TestIniText::programTextsRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    const QStringList texts{
        QStringLiteral("mm@Variant(1)"),
        QStringLiteral("/home/op/run@DateTime(2)/a.js"),
        QStringLiteral("@Variant(1)"),
        QStringLiteral("@DateTime(x)"),
        QStringLiteral("@ByteArray(x)"),
        QStringLiteral("@String(x)"),
        QStringLiteral("@Invalid()"),
        QStringLiteral("@Point(1 2)"),
        QStringLiteral("@"),
        QStringLiteral("@@x"),
        QStringLiteral("a, @Variant(1)"),
        QStringLiteral("say \"hi\""),
        QStringLiteral("C:\\scripts\\x41\\n"),
        QStringLiteral("dir\\"),
        QStringLiteral("µm ø € 日本語"),
        QStringLiteral("\U0001F600 mm"),
        QStringLiteral("x") + QChar(0xFEFF) + QStringLiteral("y"),
        QStringLiteral("  lead"),
        QStringLiteral("trail  "),
        QStringLiteral("\ttab\t"),
        QStringLiteral("a,b"),
        QStringLiteral("a;b"),
        QStringLiteral("a=b"),
        QStringLiteral("[x] #y"),
        QStringLiteral("two\nlines\r\n"),
        QStringLiteral(","),
        QStringLiteral("\""),
        QStringLiteral("  "),
        QString(),
    };
    for (const QString& text : texts)
        QTest::newRow(text.toUtf8().constData()) << text;
}

// Each text through the program's savers and readers: the units of the multi-axis window, a
// script path, a profile's text field; then saved over once more. It comes back as typed.
void TestIniText::programTextsRoundTrip()
{
    QFETCH(QString, text);
    const QString path = dir->filePath(QStringLiteral("settings.ini"));
    const QString profile = dir->filePath(QStringLiteral("profile.cfg"));
    for (int round = 0; round < 2; ++round) {
        IniSaver saver(path);
        ProgramSettingsFile::UnitOptions units;
        units.units = text;
        ProgramSettingsFile::writeUnitOptions(saver.settings(), units);
        if (round == 0)
            saver.settings().setValue(QStringLiteral("Script_window/load_path"), text);
        saver.settings().setValue(QStringLiteral("Other/round"), round);  // the second save changes another key
        QString error;
        QVERIFY2(saver.commit(&error), qPrintable(error));

        IniSaver profileSaver(profile);
        StageSettings stage(nullptr, nullptr);
        writeFieldText(text, stage.stageInformation.Description, sizeof stage.stageInformation.Description);
        if (round == 0)
            QVERIFY(stage.saveToFile(profileSaver.settings()));
        QVERIFY2(profileSaver.commit(&error), qPrintable(error));
    }
    IniSettings file(path);
    QCOMPARE(ProgramSettingsFile::readUnitOptions(file).units, text);
    QCOMPARE(file.value(QStringLiteral("Script_window/load_path")).toString(), text);
    QCOMPARE(file.value(QStringLiteral("Other/round")).toInt(), 1);

    IniSettings profileFile(profile);
    StageSettings loaded(nullptr, nullptr);
    QString report;
    loaded.loadFromFile(profileFile, report);
    QCOMPARE(readFieldText(loaded.stageInformation.Description), text);

    // Qt's own reader (an older program) reads the same.
    QFile::copy(path, dir->filePath(QStringLiteral("qt.ini")));
    QSettings qt(dir->filePath(QStringLiteral("qt.ini")), QSettings::IniFormat);
    qt.setIniCodec("UTF-8");
    QCOMPARE(qt.value(QStringLiteral("Multiaxis/Units")).toString(), text);
}

void TestIniText::readsAsQtReads_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("qtDecodes");

    QTest::newRow("value") << "V=" + five << true;
    QTest::newRow("inside a value") << "V=mm" + five << false;
    QTest::newRow("after a blank") << "V= \t" + five + "  " << true;
    QTest::newRow("list entry") << "V=a, " + five << true;
    QTest::newRow("first list entry") << "V=" + five + ",a" << true;
    QTest::newRow("quoted list") << "V=\"a, " + five + "\"" << false;
    QTest::newRow("quoted") << "V=\"" + five + "\"" << true;
    QTest::newRow("after empty quotes") << "V=\"\"  " + five << true;
    QTest::newRow("hex @") << "V=\\x40" + five.mid(1) << true;
    QTest::newRow("octal @") << "V=\\100" + five.mid(1) << true;
    QTest::newRow("escaped @ later") << "V=x\\x40" + five.mid(1) << false;
    QTest::newRow("after a comment start") << "V=x;" + five << false;
    QTest::newRow("comment line") << ";V=" + five << false;
    QTest::newRow("quoted ';'") << "V=\"x;\"" + five << false;
    QTest::newRow("joined lines") << "V=x\\\n" + five << false;
    QTest::newRow("in a key") << "K" + five + "=1" << false;
    QTest::newRow("quoted '=' in the key") << "\"K=\"=" + five << true;
    QTest::newRow("section") << "[" + five + "]\nV=1" << false;
    QTest::newRow("escaped as Qt writes text") << "V=@" + five << false;
    QTest::newRow("wrapped") << "V=@String(" + five + ")" << false;
    QTest::newRow("bytes") << QByteArray("V=@ByteArray(a\\xff,b)") << false;
    QTest::newRow("bytes in a list") << QByteArray("V=x, @ByteArray(ab)") << false;
    QTest::newRow("geometry") << QByteArray("V=@Rect(1 2 3 4)\nW=@Size(5 6)\nX=@Point(7 8)\nY=@Size(1)") << false;
    QTest::newRow("invalid") << QByteArray("V=@Invalid()\nW=a,@Invalid()") << false;
    QTest::newRow("blanks and escapes") << QByteArray("V= a \\t \nW=\" a \" , b ,c\\x20 \nX=\\x4") << false;
    QTest::newRow("keys") << QByteArray("%55%U00e9\\k = 1\n[%General]\nG=2\n[general]\nT=3\n[a\\b]\nc=4") << false;
    QTest::newRow("utf-8 and a mark") << QByteArray("\xEF\xBB\xBFV=\xC3\xA9\xE2\x82\xAC\xFF") << false;
}

// Against Qt's own reader, on a copy: the same keys and values, except that what Qt would rebuild
// from a data stream stays the text it shows.
void TestIniText::readsAsQtReads()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, qtDecodes);
    const QString ours = write("[G]\n" + line + "\nZ=end\n");
    const QString theirs = write("[G]\n" + line + "\nZ=end\n");
    QSettings qt(theirs, QSettings::IniFormat);
    qt.setIniCodec("UTF-8");
    const IniSettings file(ours);
    QCOMPARE(file.allKeys(), qt.allKeys());
    bool decoded = false;
    for (const QString& key : qt.allKeys()) {
        const QVariant mine = file.value(key);
        const QVariant qts = qt.value(key);
        QVERIFY2(!holdsNumber(mine), qPrintable(key));
        if (holdsNumber(qts)) {
            decoded = true;
            const QString text = mine.userType() == QMetaType::QStringList ? mine.toStringList().join(QLatin1Char('|'))
                                                                          : mine.toString();
            QVERIFY2(text.contains(fiveText), qPrintable(text));
        } else {
            QCOMPARE(mine, qts);
        }
    }
    QCOMPARE(decoded, qtDecodes);
}

// What Qt itself wrote (the files of earlier versions) reads as Qt reads it, also after it has
// been written again here.
void TestIniText::filesQtWroteRead()
{
    const QString path = dir->filePath(QStringLiteral("old.ini"));
    const QVariantMap values{{QStringLiteral("General"), QStringLiteral("top")},
                             {QStringLiteral("Window/position"), QPoint(-5, 7)},
                             {QStringLiteral("Window/size"), QSize(640, 480)},
                             {QStringLiteral("Window/area"), QRect(1, 2, 3, 4)},
                             {QStringLiteral("Window/fullScreen"), true},
                             {QStringLiteral("Log/Level"), 3},
                             {QStringLiteral("Log/Ratio"), 0.1},
                             {QStringLiteral("Log/state"), QByteArray("\x01\xff,=;\"", 6)},
                             {QStringLiteral("Log/list"), QStringList{"a b", "@c", "d,e"}},
                             {QStringLiteral("Log/empty"), QStringList()},
                             {QStringLiteral("Paths/a b/c"), QStringLiteral("C:\\x \"y\" ; @Variant(1)")}};
    {
        QSettings qt(path, QSettings::IniFormat);
        qt.setIniCodec("UTF-8");
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            qt.setValue(it.key(), it.value());
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QSettings qt(write(bytes), QSettings::IniFormat);
    qt.setIniCodec("UTF-8");
    QCOMPARE(qt.allKeys().size(), values.size());
    const IniSettings ours(write(bytes));
    QSettings again(write(IniText::serialize(IniText::parse(bytes))), QSettings::IniFormat);
    again.setIniCodec("UTF-8");
    for (const QString& key : values.keys()) {
        const QSettings* const others[] = {&ours, &again};
        for (const QSettings* other : others) {
            if (qt.value(key).userType() == QMetaType::QStringList)
                QCOMPARE(other->value(key).toStringList(), qt.value(key).toStringList());
            else
                QCOMPARE(other->value(key), qt.value(key));
        }
    }
}

QTEST_GUILESS_MAIN(TestIniText)
#include "tst_ini_text.moc"
