#include "common/IniSettings.h"
#include "common/ProgramSettingsFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestProgramSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void missingFileReadsDefaults();
    void searchOptions();
    void unitOptionsRoundTrip();
    void unitOptionsHostileValues_data();
    void unitOptionsHostileValues();
    void controllerSetNames();
    void controllerSetsRoundTrip();
    void controllerSetHostileGroups();

private:
    QString writeFile(const QByteArray& body);

    QScopedPointer<QTemporaryDir> dir;
};

void TestProgramSettingsFile::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
}

QString TestProgramSettingsFile::writeFile(const QByteArray& body)
{
    static int count = 0;
    const QString path = dir->filePath(QStringLiteral("settings%1.ini").arg(++count));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(body);
    return path;
}

void TestProgramSettingsFile::missingFileReadsDefaults()
{
    IniSettings file(dir->filePath(QStringLiteral("settings.ini")));
    const ProgramSettingsFile::SearchOptions search = ProgramSettingsFile::readSearchOptions(file);
    QVERIFY(search.probe);
    QVERIFY(!search.allPorts);
    QCOMPARE(search.enumerationFlags(), 1);
    const ProgramSettingsFile::UnitOptions units = ProgramSettingsFile::readUnitOptions(file);
    QVERIFY(!units.recalcEnabled);
    QCOMPARE(units.units, QString());
    QCOMPARE(units.coeff1, 1u);
    QCOMPARE(units.coeff2, 1u);
    QCOMPARE(units.precision, 2u);
    QCOMPARE(ProgramSettingsFile::lastGroupName(file), QString());
    QVERIFY(ProgramSettingsFile::readControllerSet(file, QString()).isEmpty());
    QVERIFY(!QFile::exists(file.fileName()));  // reading creates nothing
}

void TestProgramSettingsFile::searchOptions()
{
    const QString path = dir->filePath(QStringLiteral("settings.ini"));
    {
        IniSettings file(path);
        ProgramSettingsFile::SearchOptions options;
        options.probe = false;
        options.allPorts = true;
        ProgramSettingsFile::writeSearchOptions(file, options);
    }
    QFile raw(path);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray text = raw.readAll();
    QVERIFY(text.contains("[Device_search_options]"));
    QVERIFY(text.contains("Enumerate_probe=false"));
    QVERIFY(text.contains("Enumerate_all_com=true"));

    IniSettings file(path);
    const ProgramSettingsFile::SearchOptions back = ProgramSettingsFile::readSearchOptions(file);
    QCOMPARE(back.enumerationFlags(), 2);
    QCOMPARE(file.group(), QString());  // left at the top level

    IniSettings junk(writeFile("[Device_search_options]\nEnumerate_probe=maybe\nEnumerate_all_com=1\n"));
    const ProgramSettingsFile::SearchOptions odd = ProgramSettingsFile::readSearchOptions(junk);
    QVERIFY(odd.probe);  // not a boolean: the default
    QVERIFY(odd.allPorts);
    QCOMPARE(odd.enumerationFlags(), 3);
}

void TestProgramSettingsFile::unitOptionsRoundTrip()
{
    const QString path = dir->filePath(QStringLiteral("settings.ini"));
    ProgramSettingsFile::UnitOptions options;
    options.recalcEnabled = true;
    options.units = QStringLiteral("µm, fine");
    options.coeff1 = 200;
    options.coeff2 = 3;
    options.precision = 9;
    {
        IniSettings file(path);
        ProgramSettingsFile::writeUnitOptions(file, options);
    }
    IniSettings file(path);
    const ProgramSettingsFile::UnitOptions back = ProgramSettingsFile::readUnitOptions(file);
    QCOMPARE(back.recalcEnabled, true);
    QCOMPARE(back.units, options.units);
    QCOMPARE(back.coeff1, 200u);
    QCOMPARE(back.coeff2, 3u);
    QCOMPARE(back.precision, 9u);
}

void TestProgramSettingsFile::unitOptionsHostileValues_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<unsigned int>("coeff1");
    QTest::addColumn<unsigned int>("coeff2");
    QTest::addColumn<unsigned int>("precision");

    QTest::newRow("zeros") << QByteArray("Coeff_1=0\nCoeff_2=0\nPrecision=0\n") << 1u << 1u << 0u;
    QTest::newRow("text") << QByteArray("Coeff_1=abc\nCoeff_2=x\nPrecision=y\n") << 1u << 1u << 2u;
    QTest::newRow("negative") << QByteArray("Coeff_1=-5\nCoeff_2=-1\nPrecision=-1\n") << 1u << 1u << 2u;
    QTest::newRow("too many decimals") << QByteArray("Coeff_1=7\nCoeff_2=9\nPrecision=15\n") << 7u << 9u << 9u;
    QTest::newRow("beyond the dialog's range") << QByteArray("Coeff_1=1000001\nCoeff_2=1000000\n") << 1000000u << 1000000u
                                               << 2u;
    QTest::newRow("beyond 32 bits") << QByteArray("Coeff_1=4294967296\nPrecision=4294967295\n") << 1u << 1u << 9u;
}

void TestProgramSettingsFile::unitOptionsHostileValues()
{
    QFETCH(QByteArray, body);
    QFETCH(unsigned int, coeff1);
    QFETCH(unsigned int, coeff2);
    QFETCH(unsigned int, precision);
    IniSettings file(writeFile("[Multiaxis]\n" + body));
    const ProgramSettingsFile::UnitOptions options = ProgramSettingsFile::readUnitOptions(file);
    QCOMPARE(options.coeff1, coeff1);
    QCOMPARE(options.coeff2, coeff2);
    QCOMPARE(options.precision, precision);
}

void TestProgramSettingsFile::controllerSetNames()
{
    QCOMPARE(ProgramSettingsFile::controllerSetName({4321}), QStringLiteral("SN_4321"));
    // Numeric order, not text order.
    QCOMPARE(ProgramSettingsFile::controllerSetName({100, 20}), QStringLiteral("SN_20-100"));
    QCOMPARE(ProgramSettingsFile::controllerSetName({12345, 678, 9}), QStringLiteral("SN_9-678-12345"));
    QCOMPARE(ProgramSettingsFile::controllerSetName({4294967295u, 1}), QStringLiteral("SN_1-4294967295"));
}

void TestProgramSettingsFile::controllerSetsRoundTrip()
{
    const QString path = dir->filePath(QStringLiteral("settings.ini"));
    {
        IniSettings file(path);
        ProgramSettingsFile::writeControllerSet(file, {4321});
        ProgramSettingsFile::writeControllerSet(file, {3000, 1000, 2000});
    }
    IniSettings file(path);
    QCOMPARE(ProgramSettingsFile::lastGroupName(file), QStringLiteral("SN_1000-2000-3000"));
    QCOMPARE(ProgramSettingsFile::readControllerSet(file, QStringLiteral("SN_1000-2000-3000")),
             (QVector<unsigned int>{3000, 1000, 2000}));
    // Every set ever used stays in the file.
    QCOMPARE(ProgramSettingsFile::readControllerSet(file, QStringLiteral("SN_4321")),
             (QVector<unsigned int>{4321}));
    file.beginGroup(QStringLiteral("SN_4321"));
    QCOMPARE(file.childKeys(), QStringList{QStringLiteral("0")});
    file.endGroup();
}

void TestProgramSettingsFile::controllerSetHostileGroups()
{
    IniSettings file(writeFile("[Multiaxis]\nlast_group=Multiaxis\n"
                               "[SN_1-2]\n0=2\n1=abc\n2=3\n"
                               "[SN_5]\n1=5\n"
                               "[SN_7]\n0=-7\n"
                               "[General]\n0=11\n"));
    QCOMPARE(ProgramSettingsFile::readControllerSet(file, QStringLiteral("SN_1-2")), QVector<unsigned int>{2});
    QVERIFY(ProgramSettingsFile::readControllerSet(file, QStringLiteral("SN_5")).isEmpty());
    QVERIFY(ProgramSettingsFile::readControllerSet(file, QStringLiteral("SN_7")).isEmpty());
    QVERIFY(ProgramSettingsFile::readControllerSet(file, QStringLiteral("SN_404")).isEmpty());
    QVERIFY(ProgramSettingsFile::readControllerSet(file, QString()).isEmpty());
    QVERIFY(ProgramSettingsFile::readControllerSet(file, QStringLiteral("SN_1-2/..")).isEmpty());
    QCOMPARE(file.group(), QString());
}

QTEST_GUILESS_MAIN(TestProgramSettingsFile)
#include "tst_program_settings_file.moc"
