// Arbitrary bytes as settings.ini (or any INI store the program reads): every key of every
// group goes through each typed reader, and the program settings file is loaded from it. No
// value read is an object rebuilt from serialized data, and what is written again reads back
// the same.
#include "tests/fuzz/FuzzInput.h"
#include "common/IniReaders.h"
#include "common/IniSettings.h"
#include "common/IniText.h"
#include "common/ProgramSettingsFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QStringList>
#include <QTextCodec>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <cstdlib>
#include <cstring>

namespace {

const EnumEntry table[] = {{"DC", 1}, {"STEP", 3}, {"BLDC", 5}, {"", 7}};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Text, bytes, geometry or nothing, alone or in a list.
bool plainValue(const QVariant& value)
{
    static const int plain[] = {QMetaType::UnknownType, QMetaType::QString, QMetaType::QStringList,
                                QMetaType::QByteArray,  QMetaType::QPoint,  QMetaType::QSize,
                                QMetaType::QRect};
    if (value.userType() != QMetaType::QVariantList)
        return std::find(std::begin(plain), std::end(plain), value.userType()) != std::end(plain);
    const QVariantList entries = value.toList();
    return std::all_of(entries.begin(), entries.end(), plainValue);
}

// Lists of text compare entry by entry, whichever kind of list holds them.
bool sameValue(const QVariant& a, const QVariant& b)
{
    const auto isList = [](const QVariant& v) {
        return v.userType() == QMetaType::QStringList || v.userType() == QMetaType::QVariantList;
    };
    if (!isList(a) || !isList(b))
        return a.userType() == b.userType() && a == b;
    const QVariantList left = a.toList(), right = b.toList();
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), sameValue);
}

void checkText(const QByteArray& bytes)
{
    const QSettings::SettingsMap first = IniText::parse(bytes);
    const QSettings::SettingsMap second = IniText::parse(IniText::serialize(first));
    check(first.size() == second.size());
    for (auto it = first.cbegin(); it != first.cend(); ++it) {
        check(plainValue(it.value()));
        check(second.contains(it.key()) && sameValue(second.value(it.key()), it.value()));
    }
}

void readEveryKey(IniSettings& settings)
{
    const QStringList keys = settings.childKeys().mid(0, 64);
    for (const QString& name : keys) {
        const QByteArray key = name.toUtf8();
        QString report;
        int i = 5;
        unsigned int u = 6;
        float f = 7.0f;
        unsigned int flags = 0xA5A5A5A5u;
        int e = 9;
        readSettingInt(&settings, &report, key.constData(), &i);
        readSettingUInt(&settings, &report, key.constData(), &u);
        readSettingFloat(&settings, &report, key.constData(), &f);
        check(f == f);  // never NaN
        const unsigned int before = flags;
        readSettingBool(&settings, &report, key.constData(), &flags, 0x10);
        check((flags & ~0x10u) == (before & ~0x10u));
        readSettingFlag(&settings, &report, key.constData(), &flags, 0x0F00);
        check((flags & ~0x0F10u) == (before & ~0x0F10u));
        readSettingEnum(&settings, &report, key.constData(), &e, table, 4);
        check(e == 9 || e == 1 || e == 3 || e == 5 || e == 7);

        for (size_t capacity : {size_t(1), size_t(5), size_t(17), size_t(129)}) {
            char field[130];
            std::memset(field, 'X', sizeof(field));
            if (readSettingString(&settings, &report, key.constData(), field, capacity)) {
                const size_t length = strnlen(field, capacity);
                check(length < capacity);  // terminated inside the field
                check(field[capacity] == 'X');
                const QByteArray text(field, static_cast<int>(length));
                // Never a split character. A leading byte-order mark is text too: the decoder
                // must not take it for a header.
                QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
                QTextCodec::codecForName("UTF-8")->toUnicode(text.constData(), text.size(), &state);
                check(state.invalidChars == 0 && state.remainingChars == 0);
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("settings.ini"));
    if (!writeFuzzInput(path, data, size))
        return 0;
    checkText(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    {
        IniSettings settings(path);
        readEveryKey(settings);
        const QStringList groups = settings.childGroups().mid(0, 16);
        for (const QString& group : groups) {
            settings.beginGroup(group);
            readEveryKey(settings);
            settings.endGroup();
        }

        const ProgramSettingsFile::SearchOptions search = ProgramSettingsFile::readSearchOptions(settings);
        check(search.enumerationFlags() >= 0 && search.enumerationFlags() <= 3);
        const ProgramSettingsFile::UnitOptions units = ProgramSettingsFile::readUnitOptions(settings);
        check(units.coeff1 >= 1 && units.coeff2 >= 1 && units.precision <= 9);
        const QString last = ProgramSettingsFile::lastGroupName(settings);
        check(ProgramSettingsFile::readControllerSet(settings, last).size() <= 3);
        check(settings.group().isEmpty());
    }
    return 0;
}
