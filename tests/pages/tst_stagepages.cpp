#include <QtTest>

#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTextDocument>
#include <QTextEdit>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "pages/PagePositionerNameWgt.h"
#include "pages/PageStageWgt.h"
#include "settings_model/RecordFields.h"
#include "settingsdlg/SettingsPageFactory.h"
#include "support/PageRecords.h"
#include "support/PageRender.h"
#include "support/RandomRecords.h"

// The positioner pages: what they show, and that an untouched page gives back the bytes it
// loaded, whatever it could not show.

namespace {

const int namePosition = settingsPageIndex(SettingsPage::PositionerName);
const int stagePosition = settingsPageIndex(SettingsPage::Stage);
const char* const oddText = "Caf\xE9 \xFF";    // not UTF-8

// Every number of the positioner's records (the name aside) set to one value, every text to one text.
struct Filler
{
    float real;
    uint32_t word;
    const char* text;
    const char* units;
    void put(float& field) const { field = real; }
    void put(uint32_t& field) const { field = word; }
    template <size_t N>
    void put(char (&field)[N]) const
    {
        std::memset(field, 0, N);
        std::strncpy(field, text, N - 1);
    }
};

#define STAGEPAGES_FIELD(name, kind, compare) filler.put(record.name);
#define STAGEPAGES_RECORD(member, type)        \
    {                                          \
        auto& record = s.member;               \
        TROV_FIELDS_##type(STAGEPAGES_FIELD)   \
    }
void fillAll(StageSettings& s, const Filler& filler)
{
    STAGEPAGES_RECORD(stageInformation, stage_information_t)
    STAGEPAGES_RECORD(stageSettings, stage_settings_t)
    STAGEPAGES_RECORD(dcInformation, dc_information_t)
    STAGEPAGES_RECORD(dcSettings, dc_settings_t)
    STAGEPAGES_RECORD(stepInformation, step_information_t)
    STAGEPAGES_RECORD(stepSettings, step_settings_t)
    STAGEPAGES_RECORD(encoderInformation, encoder_information_t)
    STAGEPAGES_RECORD(encoderSettings, encoder_settings_t)
    STAGEPAGES_RECORD(gearInformation, gear_information_t)
    STAGEPAGES_RECORD(gearSettings, gear_settings_t)
    std::memset(s.stageSettings.Units, 0, sizeof s.stageSettings.Units);
    std::strncpy(s.stageSettings.Units, filler.units, sizeof s.stageSettings.Units - 1);
}
#undef STAGEPAGES_RECORD
#undef STAGEPAGES_FIELD

// The first byte where the bytes differ, -1 when they are equal.
long firstDifference(const StageSettings& a, const StageSettings& b)
{
    const auto* x = reinterpret_cast<const unsigned char*>(&a.stageName);
    const auto* y = reinterpret_cast<const unsigned char*>(&b.stageName);
    const size_t size = size_t(reinterpret_cast<const char*>(&a.handle) - reinterpret_cast<const char*>(&a.stageName));
    for (size_t i = 0; i < size; ++i) {
        if (x[i] != y[i])
            return long(i);
    }
    return -1;
}

// What the page's widgets show, for the emptied-page checks.
QStringList contents(QWidget* page)
{
    QStringList shown;
    for (QLineEdit* edit : page->findChildren<QLineEdit*>())
        if (!edit->objectName().startsWith(QLatin1String("qt_")))
            shown << edit->objectName() + "=" + edit->text();
    for (QTextEdit* edit : page->findChildren<QTextEdit*>())
        shown << edit->objectName() + "=" + edit->toPlainText();
    for (QSpinBox* box : page->findChildren<QSpinBox*>())
        shown << box->objectName() + "=" + QString::number(box->value());
    for (QDoubleSpinBox* box : page->findChildren<QDoubleSpinBox*>())
        shown << box->objectName() + "=" + QString::number(box->value());
    return shown;
}

} // namespace

class TestStagePages : public QObject
{
    Q_OBJECT

private slots:
    // The five read-only pages: the display follows the tables, and an untouched page writes
    // back exactly what it loaded.
    void readOnlyPages_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("seed");    // > 0: random records, 0: all bytes 0xFF, -1: the numbers below
        QTest::addColumn<float>("value");
        QTest::addColumn<uint>("word");
        QTest::addColumn<QString>("units");
        // Shown in a 2-decimal box, a supply box (0 to 99.99), a 4-decimal box; a reduction.
        QTest::addColumn<double>("large");
        QTest::addColumn<double>("supply");
        QTest::addColumn<double>("fine");
        QTest::addColumn<int>("reduction");
        const double top = std::numeric_limits<float>::max();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        for (int position = stagePosition; position <= settingsPageIndex(SettingsPage::StageGear); ++position) {
            const char* page = SettingsPageFactory::treeText(position);
            const auto row = [&](const char* name) -> QTestData& { return QTest::addRow("%s %s", page, name) << position; };
            for (int seed = 1; seed <= 3; ++seed)
                QTest::addRow("%s random %d", page, seed) << position << seed << 0.0f << 0u << QString() << 0.0 << 0.0 << 0.0 << 0;
            row("0xFF") << 0 << 0.0f << 0u << QString() << 0.0 << 0.0 << 0.0 << 0;
            row("1.234") << -1 << 1.234f << 5u << QStringLiteral("  ") << 1.23 << 1.23 << 1.234 << 5;
            row("12345.678") << -1 << 12345.678f << 1000000u << QStringLiteral(" mm ") << 12345.68 << 99.99 << 12345.6777 << 1000000;
            row("99.995") << -1 << 99.995f << 1000001u << QStringLiteral("mm") << 100.0 << 99.99 << 99.995 << 1000000;
            row("-1") << -1 << -1.0f << 0x80000000u << QStringLiteral("mm") << 0.0 << 0.0 << 0.0 << 1000000;
            row("NaN") << -1 << nan << 0xFFFFFFFFu << QStringLiteral("mm") << 0.0 << 0.0 << 0.0 << 1000000;
            row("infinity") << -1 << inf << 0u << QStringLiteral("mm") << top << 99.99 << top << 0;
            row("120 V") << -1 << 120.0f << 1u << QStringLiteral("mm") << 120.0 << 99.99 << 120.0 << 1;
        }
    }

    void readOnlyPages()
    {
        QFETCH(int, position);
        QFETCH(int, seed);
        QFETCH(float, value);
        QFETCH(uint, word);
        QFETCH(QString, units);
        PageRecords records;
        StageSettings& source = records.stage;
        QRandomGenerator rng{quint32(seed)};
        if (seed > 0)
            fillRandom(source, rng);
        else if (seed == 0)
            std::memset(static_cast<void*>(&source.stageName), 0xFF, size_t(reinterpret_cast<char*>(&source.handle) - reinterpret_cast<char*>(&source.stageName)));
        else
            fillAll(source, Filler{value, word, oddText, units.toLatin1().constData()});
        std::unique_ptr<QWidget> widget(SettingsPageFactory::create(position, records.context()));
        auto* page = qobject_cast<StagePageWgt*>(widget.get());
        QVERIFY(page);
        page->FromClassToUi();

        for (QWidget* field : page->fieldBinder().widgets()) {
            QVERIFY2(field->property("readOnly").toBool(), qPrintable(field->objectName()));
        }
        if (seed < 0) {
            QFETCH(double, large);
            QFETCH(double, supply);
            QFETCH(double, fine);
            QFETCH(int, reduction);
            for (QDoubleSpinBox* box : page->findChildren<QDoubleSpinBox*>()) {
                const double expected = box->maximum() < 100 ? supply : box->decimals() == 4 ? fine : large;
                QVERIFY2(box->value() == (expected == double(std::numeric_limits<float>::max()) ? box->maximum() : expected),
                         qPrintable(box->objectName() + " shows " + QString::number(box->value(), 'g', 10)));
            }
            for (QSpinBox* box : page->findChildren<QSpinBox*>())
                QCOMPARE(box->value(), reduction);
            QCOMPARE(page->findChild<QLineEdit*>("manufacturerEdit")->text(), QString::fromUtf8(oddText));
            if (position == stagePosition) {
                const QString kept = units.trimmed().isEmpty() ? QString() : units;
                QCOMPARE(page->findChild<QLineEdit*>("unitsEdit")->text(), kept);
                QCOMPARE(page->findChild<QDoubleSpinBox*>("maxSpeedSpin")->suffix(), kept.isEmpty() ? QString() : " " + kept + "/s");
                QCOMPARE(page->findChild<QDoubleSpinBox*>("LeadPitchSpin")->suffix(), " " + kept);
                QCOMPARE(page->findChild<QDoubleSpinBox*>("travelRangeSpin")->suffix(), " " + kept);
            }
        }

        // Untouched: the bytes loaded, into a container holding something else.
        StageSettings target(nullptr, nullptr);
        QRandomGenerator otherRng{quint32(seed + 100)};
        fillRandom(target, otherRng);
        StageSettings expected(target);
        const std::vector<uint8_t> footprint = page->footprint();
        for (size_t i = 0; i < footprint.size(); ++i) {
            if (footprint[i])
                reinterpret_cast<char*>(&expected)[i] = reinterpret_cast<const char*>(&source)[i];
        }
        page->FromUiToClass(&target);
        QCOMPARE(firstDifference(target, expected), -1L);

        // Disabled then enabled: empty fields, nothing written until the next load.
        page->SetDisabled(true);
        QVERIFY(!page->isCurrent());
        page->SetDisabled(false);
        for (const QString& shown : contents(page)) {
            const QString text = shown.section('=', 1);
            QVERIFY2(text.isEmpty() || text == "0", qPrintable(shown));
        }
        for (QWidget* field : page->fieldBinder().widgets())
            QVERIFY(field->isEnabled());
        if (position == stagePosition)
            QCOMPARE(page->findChild<QDoubleSpinBox*>("LeadPitchSpin")->suffix(), QStringLiteral(" "));
        fillRandom(target, otherRng);
        const StageSettings drawn(target);
        page->FromUiToClass(&target);
        QCOMPARE(firstDifference(target, drawn), -1L);
    }

    // A description is text, never markup: an image tag must not load anything.
    void descriptionsShowLiterally_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        for (int position : {stagePosition, settingsPageIndex(SettingsPage::StageEncoder)}) {
            QTest::addRow("%s image", SettingsPageFactory::treeText(position)) << position << QStringLiteral("<img src=\"/dev/zero\">");
            QTest::addRow("%s angles", SettingsPageFactory::treeText(position)) << position << QStringLiteral("a < b > c");
        }
    }

    void descriptionsShowLiterally()
    {
        QFETCH(int, position);
        QFETCH(QString, text);
        PageRecords records;
        const QByteArray bytes = text.toUtf8();
        std::strcpy(records.stage.stageInformation.Description, bytes.constData());
        std::strcpy(records.stage.encoderInformation.Description, bytes.constData());
        std::unique_ptr<QWidget> page(SettingsPageFactory::create(position, records.context()));
        qobject_cast<StagePageWgt*>(page.get())->FromClassToUi();
        if (auto* rich = page->findChild<QTextEdit*>("descEdit")) {
            QCOMPARE(rich->toPlainText(), text);
            QVERIFY(!rich->document()->toHtml().contains("<img"));
        } else {
            QCOMPARE(page->findChild<QLineEdit*>("descEdit")->text(), text);
        }
        QVERIFY(!renderPage(page.get(), QStringLiteral("description-%1").arg(position)).isEmpty());
    }

    // The name: read bounded by its field, written as UTF-8 of at most 16 bytes, an untouched
    // name byte for byte; nothing beyond the field.
    void positionerName_data()
    {
        QTest::addColumn<QByteArray>("record");    // the 17 bytes of the field
        QTest::addColumn<QString>("typed");        // null: untouched
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("stored");
        const QByteArray tail("\0\x7F\x80\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 17);
        const auto field = [](const QByteArray& text) { return text + QByteArray(17 - text.size(), '\0'); };
        const QString eAcute = QString::fromUtf8("\xC3\xA9");
        QTest::newRow("empty record") << field("") << QString() << QString() << field("");
        QTest::newRow("empty typed") << field("LS-100") << QString("") << QStringLiteral("LS-100") << field("");
        QTest::newRow("16 ASCII") << field("") << QStringLiteral("ABCDEFGHIJKLMNOP") << QString() << QByteArray("ABCDEFGHIJKLMNOP\0", 17);
        QTest::newRow("17 ASCII") << field("") << QStringLiteral("ABCDEFGHIJKLMNOPQ") << QString() << QByteArray("ABCDEFGHIJKLMNOP\0", 17);
        QTest::newRow("Caf\\xE9 untouched") << QByteArray("Caf\xE9", 4) + tail.left(13) << QString()
                                           << QString::fromUtf8("Caf\xE9") << QByteArray("Caf\xE9", 4) + tail.left(13);
        QTest::newRow("eight e-acute") << field("") << eAcute.repeated(8) << QString() << field(eAcute.repeated(8).toUtf8().left(16));
        QTest::newRow("nine e-acute") << field("") << eAcute.repeated(9) << QString() << field(eAcute.repeated(8).toUtf8());
        // The edit holds 16 characters; the field still goes back whole.
        QTest::newRow("17 x 0xFF untouched") << QByteArray(17, '\xFF') << QString() << QString(16, QChar(0xFFFD))
                                             << QByteArray(17, '\xFF');
    }

    void positionerName()
    {
        QFETCH(QByteArray, record);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QByteArray, stored);
        PageRecords records;
        std::memcpy(records.stage.stageName.PositionerName, record.constData(), 17);
        std::memset(records.stage.stageInformation.Manufacturer, 'A', sizeof records.stage.stageInformation.Manufacturer);
        PagePositionerNameWgt page(nullptr, &records.stage);
        page.FromClassToUi();
        QCOMPARE(page.shownName(), shown);
        if (!typed.isNull())
            page.findChild<QLineEdit*>("positionerName")->setText(typed);

        StageSettings target(nullptr, nullptr);
        std::memset(target.stageName.PositionerName, 'x', 17);
        std::memset(target.stageInformation.Manufacturer, 'B', sizeof target.stageInformation.Manufacturer);
        page.FromUiToClass(&target);
        QCOMPARE(QByteArray(target.stageName.PositionerName, 17), stored);
        QCOMPARE(QByteArray(target.stageInformation.Manufacturer, 17), QByteArray(17, 'B'));

        // Disabling keeps the text; the edit can be read-only for a dialog that writes nothing.
        page.SetDisabled(true);
        QCOMPARE(page.shownName(), typed.isNull() ? shown : page.shownName());
        QVERIFY(!page.findChild<QLineEdit*>("positionerName")->isEnabled());
        QVERIFY(page.findChild<QLabel*>("positionerNameLbl")->isEnabled());
        page.setEditable(false);
        QVERIFY(page.findChild<QLineEdit*>("positionerName")->isReadOnly());
    }

    void pagesRenderWithTheirNames_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QStringList>("names");
        const QStringList info{"manufacturerEdit", "seriesEdit", "descEdit"};
        QTest::newRow("name") << namePosition << QStringList{"PagePositionerNameWgtClass", "positionerName"};
        QTest::newRow("stage") << stagePosition
                               << info + QStringList{"PageStageWgtClass", "anumberEdit", "LeadPitchSpin", "unitsEdit",
                                                     "maxSpeedSpin", "travelRangeSpin", "supV1Spin", "supV2Spin",
                                                     "MaxCurrSpin", "HLoadSpin", "VLoadSpin"};
        QTest::newRow("dc") << settingsPageIndex(SettingsPage::StageDcMotor)
                            << info + QStringList{"PageStageDCMotorWgtClass", "anumEdit", "nomVoltSpin",
                                                  "NoLoadSpeedSpin", "NoLoadCurrSpin", "StallTorqSpin",
                                                  "MaxContCurrSpin", "ResistSpin", "InductSpin", "torqConstSpin",
                                                  "speedConstSpin", "SpeedTorqGradSpin", "MConstSpin", "RInertSpin"};
        QTest::newRow("stepper") << settingsPageIndex(SettingsPage::StageStepperMotor)
                                 << info + QStringList{"PageStageStepperMotorWgtClass", "anumEdit", "nomVoltSpin",
                                                       "currWindingSpin", "holdTorqSpin", "resistSpin", "inductSpin",
                                                       "inertiaSpin", "maxSpeedSpin"};
        QTest::newRow("encoder") << settingsPageIndex(SettingsPage::StageEncoder)
                                 << info + QStringList{"PageStageEncoderWgtClass", "anumberEdit", "MaxFreqSpin",
                                                       "supV1Spin", "supV2Spin", "MaxCurrSpin", "OutTypeEdit"};
        QTest::newRow("gear") << settingsPageIndex(SettingsPage::StageGear)
                              << info + QStringList{"PageStageGearWgtClass", "anumberEdit", "reduct1Spin",
                                                    "reduct2Spin", "MaxContTorqSpin", "MaxInSpeedSpin"};
    }

    void pagesRenderWithTheirNames()
    {
        QFETCH(int, position);
        QFETCH(QStringList, names);
        PageRecords records;
        fillAll(records.stage, Filler{12.5f, 3u, "TROV LS-100", "mm"});
        std::strcpy(records.stage.stageName.PositionerName, "LS-100");
        std::unique_ptr<QWidget> page(SettingsPageFactory::create(position, records.context()));
        qobject_cast<StagePageWgt*>(page.get())->FromClassToUi();
        QCOMPARE(missingObjectNames(page.get(), names), QString());
        QVERIFY(!renderPage(page.get(), QString::fromLatin1(QTest::currentDataTag())).isEmpty());
    }
};

QTEST_MAIN(TestStagePages)
#include "tst_stagepages.moc"
