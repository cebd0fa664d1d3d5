#include "common/IniReaders.h"
#include "common/IniSaver.h"
#include "common/IniSettings.h"
#include "common/IniText.h"
#include "common/ProgramSettingsFile.h"

#include <QFile>
#include <QPoint>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstring>

namespace {

const EnumEntry motorTypes[] = {{"DC", 1}, {"STEP", 3}, {"BLDC", 5}, {"STEP", 99}};

// Qt decodes this to the number 5; it stands for any serialized object.
const QByteArray five("@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)");
const QString fiveText = "@Variant(" + QString(3, QChar(0)) + QChar(2) + QString(3, QChar(0)) + QChar(5) + ")";

bool holdsNumber(const QVariant& value)
{
    const QVariantList entries = value.userType() == QMetaType::QVariantList ? value.toList() : QVariantList{value};
    return std::any_of(entries.begin(), entries.end(), [](const QVariant& v) { return v.userType() == QMetaType::Int; });
}

} // namespace

class TestIniReaders : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void missingKeysAreReported();
    void numbers_data();
    void numbers();
    void floats_data();
    void floats();
    void boolAndFlagBits();
    void strings_data();
    void strings();
    void enums();
    void utf8SharedBetweenObjects();
    void serializedValuesReadAsText_data();
    void serializedValuesReadAsText();
    void damagedFileIsSavedWhole_data();
    void damagedFileIsSavedWhole();
    void programTextsRoundTrip_data();
    void programTextsRoundTrip();
    void readsAsQtReads_data();
    void readsAsQtReads();

private:
    // A new INI file with the given bytes.
    QString file(const QByteArray& bytes);
    // A store on an INI file with the given bytes, entered at group "G".
    IniSettings* store(const QByteArray& body);

    QScopedPointer<QTemporaryDir> dir;
    QScopedPointer<IniSettings> settings;
    int files = 0;
};

void TestIniReaders::init()
{
    settings.reset();
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
}

QString TestIniReaders::file(const QByteArray& bytes)
{
    const QString path = dir->filePath(QStringLiteral("f%1.ini").arg(++files));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

IniSettings* TestIniReaders::store(const QByteArray& body)
{
    settings.reset(new IniSettings(file("[G]\n" + body)));
    settings->beginGroup(QStringLiteral("G"));
    return settings.data();
}

void TestIniReaders::missingKeysAreReported()
{
    IniSettings* s = store("Other=1\n");
    QString report = QStringLiteral("before\n");
    int i = 7;
    unsigned int u = 8;
    float f = 1.5f;
    unsigned int flags = 0xF0;
    char text[8] = "keep";
    int e = 4;
    QVERIFY(!readSettingInt(s, &report, "Speed", &i));
    QVERIFY(!readSettingUInt(s, &report, "Accel", &u));
    QVERIFY(!readSettingFloat(s, &report, "Ratio", &f));
    QVERIFY(!readSettingBool(s, &report, "Reverse", &flags, 0x1));
    QVERIFY(!readSettingFlag(s, &report, "Mode", &flags, 0x30));
    QVERIFY(!readSettingString(s, &report, "Name", text, sizeof(text)));
    QVERIFY(!readSettingEnum(s, &report, "type", &e, motorTypes, 3));
    QCOMPARE(report, QStringLiteral("before\nSpeed key not found\nAccel key not found\nRatio key not found\n"
                                    "Reverse key not found\nMode key not found\nName key not found\n"
                                    "type key not found\n"));
    QCOMPARE(i, 7);
    QCOMPARE(u, 8u);
    QCOMPARE(f, 1.5f);
    QCOMPARE(flags, 0xF0u);
    QCOMPARE(QByteArray(text), QByteArray("keep"));
    QCOMPARE(e, 4);
    // A null report is allowed.
    QVERIFY(!readSettingInt(s, nullptr, "Speed", &i));
}

void TestIniReaders::numbers_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("intOk");
    QTest::addColumn<int>("intValue");
    QTest::addColumn<bool>("uintOk");
    QTest::addColumn<unsigned int>("uintValue");

    QTest::newRow("plain") << QByteArray("1234") << true << 1234 << true << 1234u;
    QTest::newRow("negative") << QByteArray("-1") << true << -1 << false << 0u;
    QTest::newRow("minus zero") << QByteArray("-0") << true << 0 << false << 0u;
    QTest::newRow("int max") << QByteArray("2147483647") << true << 2147483647 << true << 2147483647u;
    QTest::newRow("int min") << QByteArray("-2147483648") << true << (-2147483647 - 1) << false << 0u;
    QTest::newRow("beyond int") << QByteArray("3000000000") << false << 0 << true << 3000000000u;
    QTest::newRow("uint max") << QByteArray("4294967295") << false << 0 << true << 4294967295u;
    QTest::newRow("beyond uint") << QByteArray("4294967296") << false << 0 << false << 0u;
    QTest::newRow("huge") << QByteArray("99999999999999999999999") << false << 0 << false << 0u;
    QTest::newRow("text") << QByteArray("abc") << false << 0 << false << 0u;
    QTest::newRow("trailing text") << QByteArray("12abc") << false << 0 << false << 0u;
    QTest::newRow("hex") << QByteArray("0x10") << false << 0 << false << 0u;
    QTest::newRow("fraction") << QByteArray("1.5") << false << 0 << false << 0u;
    QTest::newRow("empty") << QByteArray("") << false << 0 << false << 0u;
    QTest::newRow("list") << QByteArray("1, 2") << false << 0 << false << 0u;
    QTest::newRow("point") << QByteArray("@Point(1 2)") << false << 0 << false << 0u;
    QTest::newRow("blanks") << QByteArray("\" 42 \"") << true << 42 << true << 42u;
}

void TestIniReaders::numbers()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, intOk);
    QFETCH(int, intValue);
    QFETCH(bool, uintOk);
    QFETCH(unsigned int, uintValue);

    IniSettings* s = store("V=" + stored + "\n");
    QString report;
    int i = 77;
    QCOMPARE(readSettingInt(s, &report, "V", &i), intOk);
    QCOMPARE(i, intOk ? intValue : 77);
    QCOMPARE(report, intOk ? QString() : QStringLiteral("V key unknown parameter\n"));

    report.clear();
    unsigned int u = 88;
    QCOMPARE(readSettingUInt(s, &report, "V", &u), uintOk);
    QCOMPARE(u, uintOk ? uintValue : 88u);
    QCOMPARE(report, uintOk ? QString() : QStringLiteral("V key unknown parameter\n"));
}

void TestIniReaders::floats_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<float>("value");

    QTest::newRow("plain") << QByteArray("2.5") << true << 2.5f;
    QTest::newRow("negative exponent") << QByteArray("-1.25e-3") << true << -1.25e-3f;
    QTest::newRow("integer") << QByteArray("7") << true << 7.0f;
    QTest::newRow("comma decimal") << QByteArray("2,5") << false << 0.0f;  // comes back as a list
    QTest::newRow("text") << QByteArray("abc") << false << 0.0f;
    QTest::newRow("beyond float") << QByteArray("1e40") << false << 0.0f;
    QTest::newRow("nan") << QByteArray("nan") << false << 0.0f;
    QTest::newRow("inf") << QByteArray("inf") << false << 0.0f;
    QTest::newRow("empty") << QByteArray("") << false << 0.0f;
}

void TestIniReaders::floats()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, ok);
    QFETCH(float, value);
    IniSettings* s = store("F=" + stored + "\n");
    QString report;
    float f = 9.0f;
    QCOMPARE(readSettingFloat(s, &report, "F", &f), ok);
    QCOMPARE(f, ok ? value : 9.0f);
    QCOMPARE(report, ok ? QString() : QStringLiteral("F key unknown parameter\n"));
}

void TestIniReaders::boolAndFlagBits()
{
    IniSettings* s = store("On=true\nOff=false\nUpper=TRUE\nOne=1\nJunk=abc\nMode=0x3\nBits=255\nNeg=-1\n");
    QString report;
    unsigned int flags = 0x100;
    QVERIFY(readSettingBool(s, &report, "On", &flags, 0x1));
    QCOMPARE(flags, 0x101u);
    QVERIFY(readSettingBool(s, &report, "Off", &flags, 0x100));
    QCOMPARE(flags, 0x1u);
    QVERIFY(readSettingBool(s, &report, "Upper", &flags, 0x4));
    QVERIFY(readSettingBool(s, &report, "One", &flags, 0x8));
    QCOMPARE(flags, 0xDu);
    // "abc" used to read as true and set the bit.
    QVERIFY(!readSettingBool(s, &report, "Junk", &flags, 0x10));
    QCOMPARE(flags, 0xDu);
    QCOMPARE(report, QStringLiteral("Junk key unknown parameter\n"));

    report.clear();
    flags = 0xF00F;
    QVERIFY(readSettingFlag(s, &report, "Bits", &flags, 0x0F0));
    QCOMPARE(flags, 0xF0FFu);  // only the mask bits replaced
    QVERIFY(!readSettingFlag(s, &report, "Mode", &flags, 0xF));
    QVERIFY(!readSettingFlag(s, &report, "Neg", &flags, 0xF));
    QCOMPARE(flags, 0xF0FFu);
    QCOMPARE(report, QStringLiteral("Mode key unknown parameter\nNeg key unknown parameter\n"));
}

void TestIniReaders::strings_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("fits") << QByteArray("Stage") << 8 << QByteArray("Stage");
    QTest::newRow("exactly") << QByteArray("1234567") << 8 << QByteArray("1234567");
    QTest::newRow("cut") << QByteArray("123456789") << 8 << QByteArray("1234567");
    // "ab" then three two-byte characters: the cut at 6 bytes would split the third.
    QTest::newRow("two-byte across the cut") << QByteArray("ab\xc3\xa9\xc3\xa9\xc3\xa9") << 7
                                             << QByteArray("ab\xc3\xa9\xc3\xa9");
    QTest::newRow("three-byte across the cut") << QByteArray("a\xe2\x82\xac\xe2\x82\xac") << 6
                                               << QByteArray("a\xe2\x82\xac");
    QTest::newRow("four-byte across the cut") << QByteArray("\xf0\x9f\x98\x80xyz") << 4 << QByteArray("");
    QTest::newRow("list joined") << QByteArray("left, right") << 32 << QByteArray("left, right");
    QTest::newRow("quoted comma") << QByteArray("\"a, b\"") << 32 << QByteArray("a, b");
    QTest::newRow("capacity one") << QByteArray("abc") << 1 << QByteArray("");
    QTest::newRow("empty") << QByteArray("") << 4 << QByteArray("");
}

void TestIniReaders::strings()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, capacity);
    QFETCH(QByteArray, expected);
    IniSettings* s = store("T=" + stored + "\n");
    char field[40];
    std::memset(field, 'X', sizeof(field));
    QString report;
    QVERIFY(readSettingString(s, &report, "T", field, static_cast<size_t>(capacity)));
    QVERIFY(report.isEmpty());
    QCOMPARE(QByteArray(field), expected);  // terminated inside the field
    QCOMPARE(field[capacity], 'X');         // nothing written beyond it
    QVERIFY(!readSettingString(s, &report, "T", field, 0));
}

void TestIniReaders::enums()
{
    IniSettings* s = store("type=STEP\nlower=step\nnone=\nnum=3\n");
    QString report;
    int value = -1;
    QVERIFY(readSettingEnum(s, &report, "type", &value, motorTypes, 4));
    QCOMPARE(value, 3);  // the first match wins
    value = -1;
    QVERIFY(!readSettingEnum(s, &report, "lower", &value, motorTypes, 4));
    QVERIFY(!readSettingEnum(s, &report, "none", &value, motorTypes, 4));
    QVERIFY(!readSettingEnum(s, &report, "num", &value, motorTypes, 4));
    QCOMPARE(value, -1);
    QCOMPARE(report, QStringLiteral("lower key unknown parameter\nnone key unknown parameter\n"
                                    "num key unknown parameter\n"));
}

void TestIniReaders::utf8SharedBetweenObjects()
{
    const QString path = dir->filePath(QStringLiteral("shared.ini"));
    const QString units = QStringLiteral("µm ø €");
    {
        IniSettings writer(path);
        writer.setValue(QStringLiteral("G/Units"), units);
        writer.sync();
        QCOMPARE(writer.status(), QSettings::NoError);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains(units.toUtf8()));  // written as UTF-8, not escaped

    // Two objects on the same file share Qt's parsed copy: both must read the same text.
    IniSettings first(path);
    IniSettings second(path);
    QCOMPARE(first.value(QStringLiteral("G/Units")).toString(), units);
    QCOMPARE(second.value(QStringLiteral("G/Units")).toString(), units);
    char field[16];
    second.beginGroup(QStringLiteral("G"));
    QVERIFY(readSettingString(&second, nullptr, "Units", field, sizeof(field)));
    QCOMPARE(QString::fromUtf8(field), units);
}

void TestIniReaders::serializedValuesReadAsText_data()
{
    // A byte-array list of 2147483647 entries: decoding it asks for more memory than there is,
    // and the program ends.
    const QByteArray list("(\\0\\0\\0\\x31\\x7f\\xff\\xff\\xff)");
    const QString payload = QStringLiteral("(") + QString(3, QChar(0)) + QStringLiteral("1") + QChar(0x7f)
                            + QString(3, QChar(0xff)) + QStringLiteral(")");
    const QString text = QStringLiteral("Variant") + payload;
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QVariant>("read");

    QTest::newRow("plain") << "@Variant" + list << QVariant("@" + text);
    QTest::newRow("quoted") << "\"@Variant" + list + "\"" << QVariant("@" + text);
    QTest::newRow("hex @") << "\\x40Variant" + list << QVariant("@" + text);
    QTest::newRow("wide hex @") << "\\x10040Variant" + list << QVariant("@" + text);
    QTest::newRow("octal @") << "\\100Variant" + list << QVariant("@" + text);
    QTest::newRow("escaped letter") << "@\\126ariant" + list << QVariant("@" + text);
    QTest::newRow("dropped escape") << "@Var\\qiant" + list << QVariant("@" + text);
    QTest::newRow("joined by quotes") << "\"@Var\"  iant" + list << QVariant("@" + text);
    QTest::newRow("list entry") << "a, @Variant" + list << QVariant(QStringList{"a", "@" + text});
    QTest::newRow("date") << "@DateTime" + list << QVariant("@DateTime" + payload);
    // What the program writes itself reads as before.
    QTest::newRow("escaped text") << QByteArray("@@Variant(x)") << QVariant("@Variant(x)");
    QTest::newRow("wrapped text") << QByteArray("@String(@Variant(\\0))") << QVariant(QStringLiteral("@Variant(") + QChar(0) + ")");
    QTest::newRow("bytes") << QByteArray("@ByteArray(\\x1\\x61V)") << QVariant(QByteArray("\x01" "aV"));
    QTest::newRow("point") << QByteArray("@Point(1 2)") << QVariant(QPoint(1, 2));
}

void TestIniReaders::serializedValuesReadAsText()
{
    QFETCH(QByteArray, stored);
    QFETCH(QVariant, read);
    IniSettings* s = store("V=" + stored + "\nW=2\n");
    QCOMPARE(s->value(QStringLiteral("V")), read);
    QCOMPARE(s->value(QStringLiteral("W")).toInt(), 2);
    const QString path = dir->filePath(QStringLiteral("f%1.ini").arg(files));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "[G]\nV=" + stored + "\nW=2\n");  // reading leaves the file alone
    file.close();

    // A change saved to such a file keeps the value as the text it read as.
    settings.reset();
    IniSaver saver(path);
    saver.settings().setValue(QStringLiteral("G/W"), 3);
    QString error;
    QVERIFY2(saver.commit(&error), qPrintable(error));
    const IniSettings after(path);
    QCOMPARE(after.value(QStringLiteral("G/V")), read);
    QCOMPARE(after.value(QStringLiteral("G/W")).toInt(), 3);
}

void TestIniReaders::damagedFileIsSavedWhole_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("a line /y=z") << QByteArray("a=1\n/y=z\n");
    QTest::newRow("group [/]") << QByteArray("[/]\ny=z\n");
    QTest::newRow("group []") << QByteArray("k=top\n[]\nk=v\n");
    QTest::newRow("key /") << QByteArray("/=z\n[g]\nk=1\n");
    QTest::newRow("carriage return in a value") << QByteArray("V=\"a\rb\"\nW=c\r/y=z\n");
    QTest::newRow("slashes inside") << QByteArray("[/a/]\n/b/=1\n");
}

// A hand-edited or damaged file holding keys that start with '/' reads as Qt reads it and is
// saved whole, session after session.
void TestIniReaders::damagedFileIsSavedWhole()
{
    QFETCH(QByteArray, bytes);
    const QString path = file(bytes);
    const QStringList qtKeys = QSettings(file(bytes), QSettings::IniFormat).allKeys();
    for (int round = 0; round < 2; ++round) {
        IniSaver saver(path);
        QVERIFY(round == 1 || saver.settings().allKeys() == qtKeys);
        saver.settings().setValue(QStringLiteral("Other/round"), round);
        QString error;
        QVERIFY2(saver.commit(&error), qPrintable(error));
    }
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QSettings::SettingsMap expected = IniText::parse(bytes);
    expected.insert(QStringLiteral("Other/round"), QStringLiteral("1"));
    QCOMPARE(IniText::parse(saved.readAll()), expected);
}

void TestIniReaders::programTextsRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    const QString texts[] = {"mm@Variant(1)", "/home/op/run@DateTime(2)/a.js", "@Variant(1)", "@DateTime(x)",
                             "@ByteArray(x)", "@String(x)", "@Invalid()", "@Point(1 2)", "@", "@@x", "a, @Variant(1)",
                             "say \"hi\"", "C:\\scripts\\x41\\n", "dir\\", "µm ø € 日本語", "\U0001F600 mm",
                             "x" + QString(QChar(0xFEFF)) + "y", QChar(0xFEFF) + QStringLiteral("mm"), "  lead", "trail  ", "\ttab\t", "a,b", "a;b", "a=b",
                             "[x] #y", "two\nlines\r\n", ",", "\"", "  ", QString()};
    for (const QString& text : texts)
        QTest::newRow(text.toUtf8().constData()) << text;
}

// A text as the program keeps it (the multi-axis units), saved over once more, comes back as
// typed; Qt's reader reads the same.
void TestIniReaders::programTextsRoundTrip()
{
    QFETCH(QString, text);
    const QString path = dir->filePath(QStringLiteral("settings.ini"));
    QString error;
    for (int round = 0; round < 2; ++round) {
        IniSaver saver(path);
        if (round == 0) {
            ProgramSettingsFile::UnitOptions units;
            units.units = text;
            ProgramSettingsFile::writeUnitOptions(saver.settings(), units);
        }
        saver.settings().setValue(QStringLiteral("Other/round"), round);
        QVERIFY2(saver.commit(&error), qPrintable(error));
    }
    IniSettings saved(path);
    QCOMPARE(ProgramSettingsFile::readUnitOptions(saved).units, text);
    QVERIFY(QFile::copy(path, dir->filePath(QStringLiteral("qt.ini"))));
    QSettings qt(dir->filePath(QStringLiteral("qt.ini")), QSettings::IniFormat);
    qt.setIniCodec("UTF-8");
    QCOMPARE(qt.value(QStringLiteral("Multiaxis/Units")).toString(), text);
}

void TestIniReaders::readsAsQtReads_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("qtDecodes");
    QTest::newRow("inside a value") << "V=mm" + five << false;
    QTest::newRow("after a blank") << "V= \t" + five + "  " << true;
    QTest::newRow("list entry") << "V=a, " + five << true;
    QTest::newRow("first list entry") << "V=" + five + ",a" << true;
    QTest::newRow("after empty quotes") << "V=\"\"  " + five << true;
    QTest::newRow("escaped @ later") << "V=x\\x40" + five.mid(1) << false;
    QTest::newRow("quoted") << "V=\"a, " + five + "\"\nW=\"x;\"" + five << false;
    QTest::newRow("comments") << "V=x;" + five + "\n;W=" + five << false;
    QTest::newRow("joined lines") << "V=x\\\n" + five << false;
    QTest::newRow("quoted '=' in the key") << "\"K=\"=" + five << true;
    QTest::newRow("key and section") << "K" + five + "=1\n[" + five + "]\nV=1" << false;
    QTest::newRow("bytes") << QByteArray("V=@ByteArray(a\\xff,b)\nW=x, @ByteArray(ab)") << false;
    QTest::newRow("geometry and nothing")
        << QByteArray("V=@Rect(1 2 3 4)\nW=@Size(5 6)\nX=@Point(7 8)\nY=@Size(1)\nI=@Invalid()\nJ=a,@Invalid()") << false;
    QTest::newRow("blanks and escapes") << QByteArray("V= a \\t \nW=\" a \" , b ,c\\x20 \nX=\\x4") << false;
    QTest::newRow("keys") << QByteArray("%55%U00e9\\k = 1\n[%General]\nG=2\n[general]\nT=3\n[a\\b]\nc=4") << false;
    QTest::newRow("keys ending in '/'") << QByteArray("e%2F=1\nf\\g%2F=2\n[h%2F]\ni%2F=3") << false;
    QTest::newRow("utf-8 and a mark") << QByteArray("\xEF\xBB\xBFV=\xC3\xA9\xE2\x82\xAC\xFF") << false;
}

// Against Qt's reader: the same keys and values, except that what Qt would rebuild from a data
// stream stays the text it shows; what the program writes back Qt reads as it read the original.
void TestIniReaders::readsAsQtReads()
{
    QFETCH(QByteArray, line);
    const QByteArray bytes = "[G]\n" + line + "\nZ=end\n";
    // Each reader on its own copy: Qt shares what it parsed of a file between its readers.
    const IniSettings ours(file(bytes));
    QSettings qt(file(bytes), QSettings::IniFormat);
    QSettings again(file(IniText::serialize(IniText::parse(bytes))), QSettings::IniFormat);
    qt.setIniCodec("UTF-8");
    again.setIniCodec("UTF-8");
    QCOMPARE(ours.allKeys(), qt.allKeys());
    bool decoded = false;
    for (const QString& key : qt.allKeys()) {
        const QVariant mine = ours.value(key);
        if (holdsNumber(qt.value(key))) {
            decoded = true;
            QVERIFY2(mine.toStringList().join('|').contains(fiveText), qPrintable(key));
        } else {
            QVERIFY2(mine == qt.value(key) && again.value(key) == qt.value(key), qPrintable(key));
        }
    }
    QTEST(decoded, "qtDecodes");
    // What it writes reads back whole, also keys no reader can ask for (one ending in '/').
    QVERIFY(IniText::parse(IniText::serialize(IniText::parse(bytes))) == IniText::parse(bytes));
}

QTEST_GUILESS_MAIN(TestIniReaders)
#include "tst_ini_readers.moc"
