#include <QtTest>

#include <cstring>
#include <memory>

#include "chartdlg/GraphSettings.h"
#include "log/LogSettings.h"
#include "pages/ControllerPageWgt.h"
#include "pages/StagePageWgt.h"
#include "settings_model/CyclicSettings.h"
#include "settingsdlg/SettingsPageFactory.h"
#include "support/RandomRecords.h"
#include "support/SameMotorRecords.h"
#include "support/SimulatedAxis.h"

// Every controller and stage page of the factory: shown from a container drawn over each field's
// type range and stored back, it writes exactly what it loaded, and nothing outside its fields.
// Rebuild-style words are the one exception: they keep only the bits the page shows.

#define MOTOR_RECORDS(X)                                                                              \
    X(engine) X(entype) X(pid) X(syncIn) X(syncOut) X(edges) X(secure) X(move) X(feedback) X(home) \
    X(power) X(brake) X(control) X(joystick) X(ctp) X(uart) X(extio) X(controllerName)
#define STAGE_RECORDS(X)                                                                              \
    X(stageName) X(stageInformation) X(stageSettings) X(dcInformation) X(dcSettings) X(stepInformation) \
    X(stepSettings) X(encoderInformation) X(encoderSettings) X(gearInformation) X(gearSettings)

namespace {

struct Span
{
    size_t offset;
    size_t size;
};

template <typename Container>
std::vector<Span> recordSpans(const Container& c);

#define ROUNDTRIP_SPAN(member) Span{size_t(reinterpret_cast<const char*>(&c.member) - base), sizeof c.member},
template <>
std::vector<Span> recordSpans(const MotorSettings& c)
{
    const char* base = reinterpret_cast<const char*>(&c);
    return {MOTOR_RECORDS(ROUNDTRIP_SPAN)};
}
template <>
std::vector<Span> recordSpans(const StageSettings& c)
{
    const char* base = reinterpret_cast<const char*>(&c);
    return {STAGE_RECORDS(ROUNDTRIP_SPAN)};
}
#undef ROUNDTRIP_SPAN

// Records copied byte for byte, padding and reserved bytes included.
template <typename Container>
void copyRecords(Container& to, const Container& from)
{
    for (const Span& span : recordSpans(from))
        std::memcpy(reinterpret_cast<char*>(&to) + span.offset, reinterpret_cast<const char*>(&from) + span.offset,
                    span.size);
}

// The first byte of the records where a and b differ outside mask (a mask of 0xFF per byte
// allows anything), or -1.
template <typename Container>
long firstDifference(const Container& a, const Container& b, const std::vector<uint8_t>& allowed)
{
    const auto* x = reinterpret_cast<const uint8_t*>(&a);
    const auto* y = reinterpret_cast<const uint8_t*>(&b);
    for (const Span& span : recordSpans(a)) {
        for (size_t i = span.offset; i < span.offset + span.size; ++i) {
            if ((x[i] ^ y[i]) & ~(allowed.empty() ? 0 : allowed[i]))
                return long(i);
        }
    }
    return -1;
}

bool sameStageRecords(const StageSettings& a, const StageSettings& b)
{
#define ROUNDTRIP_EQUAL(member) &&isEqual(a.member, b.member)
    return true STAGE_RECORDS(ROUNDTRIP_EQUAL);
#undef ROUNDTRIP_EQUAL
}

bool sameRecords(const MotorSettings& a, const MotorSettings& b) { return sameMotorRecords(a, b); }
bool sameRecords(const StageSettings& a, const StageSettings& b) { return sameStageRecords(a, b); }

void setEngineType(ControllerPageWgt* page, const MotorSettings& s) { page->setEngineType(s.entype.EngineType); }
void setEngineType(StagePageWgt*, const StageSettings&) {}
std::vector<uint8_t> footprintOf(ControllerPageWgt* page) { return page->fieldBinder().footprint(); }
// A read-only stage page writes back its whole records, padding included.
std::vector<uint8_t> footprintOf(StagePageWgt* page) { return page->footprint(); }

// Fills every byte of the records with ones: every bit of every flag word set, texts without NUL.
template <typename Container>
void fillOnes(Container& c)
{
    for (const Span& span : recordSpans(c))
        std::memset(reinterpret_cast<char*>(&c) + span.offset, 0xFF, span.size);
}

// The bits of the controller's flag word at the offset that the simulated controller keeps.
uint32_t acceptedBits(size_t offset)
{
    struct Row { size_t offset; size_t size; int index; };
    MotorSettings layout(nullptr, nullptr);
    const char* base = reinterpret_cast<const char*>(&layout);
#define ROUNDTRIP_ROW(member, index) Row{size_t(reinterpret_cast<const char*>(&layout.member) - base), sizeof layout.member, MotorSettings::index},
    const Row rows[] = {ROUNDTRIP_ROW(edges, EdgesRecord) ROUNDTRIP_ROW(secure, SecureRecord) ROUNDTRIP_ROW(engine, EngineRecord)
        ROUNDTRIP_ROW(move, MoveRecord) ROUNDTRIP_ROW(feedback, FeedbackRecord) ROUNDTRIP_ROW(power, PowerRecord)
        ROUNDTRIP_ROW(brake, BrakeRecord) ROUNDTRIP_ROW(control, ControlRecord) ROUNDTRIP_ROW(joystick, JoystickRecord)
        ROUNDTRIP_ROW(ctp, CtpRecord) ROUNDTRIP_ROW(home, HomeRecord) ROUNDTRIP_ROW(syncIn, SyncInRecord)
        ROUNDTRIP_ROW(syncOut, SyncOutRecord) ROUNDTRIP_ROW(uart, UartRecord) ROUNDTRIP_ROW(extio, ExtioRecord)};
#undef ROUNDTRIP_ROW
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{openOnFreshSimulator(gateway, "sim:axis1")};
    MotorSettings settings(&handle, gateway.get());
    uint32_t bits = 0;
    if (handle != -1 && settings.readFromDevice(true) == 0) {
        for (const Row& row : rows) {
            if (offset < row.offset || offset >= row.offset + row.size)
                continue;
            // Bit by bit: all ones may be an invalid code (a mode of 3) that the controller
            // answers by keeping the old word.
            auto* word = reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(&settings) + offset);
            for (int bit = 0; bit < 32; ++bit) {
                *word = 1u << bit;
                settings.writeRecordToDevice(row.index);
                settings.readFromDevice(false);
                bits |= *word & (1u << bit);
            }
        }
    }
    closeAndRelease(gateway, handle);
    return bits;
}

template <typename Page, typename Container>
void checkRoundTrip(int position, quint32 seed)
{
    Container source(nullptr, nullptr);
    QRandomGenerator rng(seed);
    if (seed == 0)
        fillOnes(source);
    else
        fillRandom(source, rng);

    SettingsPageContext context;
    GraphSettings graph;
    CyclicSettings cyclic;
    LogSettings log;
    MotorSettings motor(nullptr, nullptr);
    StageSettings stage(nullptr, nullptr);
    context.motorSettings = &motor;
    context.stageSettings = &stage;
    context.cyclicSettings = &cyclic;
    context.logSettings = &log;
    context.graphSettings = &graph;
    if constexpr (std::is_same<Container, MotorSettings>::value)
        context.motorSettings = &source;
    else
        context.stageSettings = &source;

    std::unique_ptr<QWidget> widget(SettingsPageFactory::create(position, context));
    auto* page = qobject_cast<Page*>(widget.get());
    QVERIFY(page);
    setEngineType(page, source);
    page->FromClassToUi();
    const FieldBinder& binder = page->fieldBinder();

    // Into a copy of what it showed: the same bytes, but for the bits rebuild words drop.
    Container expected(nullptr, nullptr);
    copyRecords(expected, source);
    for (size_t offset : binder.rebuildWords()) {
        auto* word = reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(&expected) + offset);
        *word &= binder.shownBits(reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(&source) + offset));
    }
    Container copy(nullptr, nullptr);
    copyRecords(copy, source);
    page->FromUiToClass(&copy);
    QCOMPARE(firstDifference(copy, expected, {}), -1L);
    if (binder.rebuildWords().empty() && seed != 0)
        QVERIFY(sameRecords(copy, source));

    // Into a container holding something else: nothing outside the page's fields changes.
    Container other(nullptr, nullptr);
    QRandomGenerator otherRng(seed + 1000);
    fillRandom(other, otherRng);
    Container before(nullptr, nullptr);
    copyRecords(before, other);
    page->FromUiToClass(&other);
    QCOMPARE(firstDifference(other, before, footprintOf(page)), -1L);

    // A rebuild word shows every bit the controller keeps, so nothing it holds is lost.
    if (seed == 0 && std::is_same<Container, MotorSettings>::value) {
        for (size_t offset : binder.rebuildWords()) {
            const auto* word = reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(&source) + offset);
            QCOMPARE(binder.shownBits(word), acceptedBits(offset));
        }
    }
}

} // namespace

class TestPageRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void acceptedBitsComeFromTheSimulator()
    {
        MotorSettings s(nullptr, nullptr);
        const auto offset = [&s](const uint32_t* word) {
            return size_t(reinterpret_cast<const char*>(word) - reinterpret_cast<const char*>(&s));
        };
        QCOMPARE(acceptedBits(offset(&s.edges.BorderFlags)), 0xFu);
        QCOMPARE(acceptedBits(offset(&s.uart.UARTSetupFlags)), 0xFu);
    }
    void controllerPages_data() { rows<ControllerPageWgt>(); }
    void controllerPages()
    {
        QFETCH(int, position);
        QFETCH(quint32, seed);
        checkRoundTrip<ControllerPageWgt, MotorSettings>(position, seed);
    }
    void stagePages_data() { rows<StagePageWgt>(); }
    void stagePages()
    {
        QFETCH(int, position);
        QFETCH(quint32, seed);
        checkRoundTrip<StagePageWgt, StageSettings>(position, seed);
    }

private:
    // Every page of the kind, each with seed 0 (every bit of every record set) and random draws.
    template <typename Page>
    static void rows()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<quint32>("seed");
        GraphSettings graph;
        CyclicSettings cyclic;
        LogSettings log;
        MotorSettings motor(nullptr, nullptr);
        StageSettings stage(nullptr, nullptr);
        SettingsPageContext context;
        context.motorSettings = &motor;
        context.stageSettings = &stage;
        context.cyclicSettings = &cyclic;
        context.logSettings = &log;
        context.graphSettings = &graph;
        for (int position = 0; position < SettingsPageFactory::pageCount; ++position) {
            std::unique_ptr<QWidget> page(SettingsPageFactory::create(position, context));
            if (!qobject_cast<Page*>(page.get()))
                continue;
            for (quint32 seed = 0; seed <= 24; ++seed) {
                QTest::addRow("%s/%u", SettingsPageFactory::treeText(position), seed) << position << seed;
            }
        }
    }
};

QTEST_MAIN(TestPageRoundTrip)
#include "tst_page_round_trip.moc"
