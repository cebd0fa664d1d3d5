// Helpers shared by the simulator's Qt tests: a fresh simulator per test function, a log
// recorder, and the record table (from the library's own records.def) for data-driven tests.
#pragma once

#include "trovsim.h"

#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QTemporaryDir>
#include <QVector>
#include <QtTest>

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace simtest {

struct LogLine {
    int level;
    QString text;
};

// Records every line the library sends to its callback.
class LogRecorder {
public:
    static LogRecorder& instance()
    {
        static LogRecorder recorder;
        return recorder;
    }
    static void callback(int level, const wchar_t* text)
    {
        QMutexLocker lock(&instance().mutex_);
        instance().lines_.push_back({level, QString::fromWCharArray(text)});
    }
    void clear()
    {
        QMutexLocker lock(&mutex_);
        lines_.clear();
    }
    QVector<LogLine> lines()
    {
        QMutexLocker lock(&mutex_);
        return lines_;
    }
    int count(int level, const QString& part)
    {
        int n = 0;
        for (const LogLine& l : lines())
            if (l.level == level && l.text.contains(part))
                ++n;
        return n;
    }

private:
    QMutex mutex_;
    QVector<LogLine> lines_;
};

// A fresh simulator in its own folder with the manual clock and a log recorder.
class Sim {
public:
    explicit Sim(const char* controllers = nullptr, bool inMemory = false)
    {
        set_logging_callback(&LogRecorder::callback);
        reset(controllers, inMemory);
    }
    void reset(const char* controllers = nullptr, bool inMemory = false)
    {
        QVERIFY(dir_.isValid());
        QCOMPARE(trovsim_reset(controllers, inMemory ? "" : folder().c_str()), 0);
        trovsim_clock_manual(1);
        LogRecorder::instance().clear();
    }
    std::string folder() const { return dir_.path().toStdString(); }
    QString path(const QString& file) const { return dir_.filePath(file); }

private:
    QTemporaryDir dir_;
};

inline device_t openOrFail(const char* name)
{
    device_t d = open_device(name);
    if (d < 0)
        qWarning("open_device(%s) failed", name);
    return d;
}

// --- the record table, expanded from the library's records.def

struct Field {
    const char* name;
    size_t offset;
    enum Type { U32, I32, F32, F64, TEXT, BYTES } type;
    int count;
    size_t bytes() const
    {
        return type == F64 ? 8u * static_cast<size_t>(count)
               : (type == TEXT || type == BYTES) ? static_cast<size_t>(count)
                                                 : 4u * static_cast<size_t>(count);
    }
};

struct Record {
    const char* name;
    size_t size;
    bool eeprom;
    std::vector<Field> fields;
    std::function<result_t(device_t, void*)> get;
    std::function<result_t(device_t, const void*)> set;

    const Field* field(const char* n) const
    {
        for (const Field& f : fields)
            if (std::strcmp(f.name, n) == 0)
                return &f;
        return nullptr;
    }
    // Bytes that belong to no field.
    std::vector<size_t> padding() const
    {
        std::vector<bool> covered(size, false);
        for (const Field& f : fields)
            for (size_t b = 0; b < f.bytes(); ++b)
                covered[f.offset + b] = true;
        std::vector<size_t> pad;
        for (size_t b = 0; b < size; ++b)
            if (!covered[b])
                pad.push_back(b);
        return pad;
    }
};

inline const std::vector<Record>& records()
{
    static const std::vector<Record> table = [] {
        std::vector<Record> t;
#define RAM false
#define EEPROM true
#define TROV_RECORD(record, store)                                                                  \
    t.push_back({#record, sizeof(record##_t), store, {},                                            \
                 [](device_t d, void* p) { return get_##record(d, static_cast<record##_t*>(p)); },   \
                 [](device_t d, const void* p) { return set_##record(d, static_cast<const record##_t*>(p)); }});
#define TROV_FIELD(record, field, type, count, ...)                                                 \
    t.back().fields.push_back({#field, offsetof(record##_t, field), Field::type, count});
#define TROV_END(record)
#include "../../libtrov/src/records.def"
#undef TROV_RECORD
#undef TROV_FIELD
#undef TROV_END
#undef RAM
#undef EEPROM
        return t;
    }();
    return table;
}

inline const Record& record(const char* name)
{
    for (const Record& r : records())
        if (std::strcmp(r.name, name) == 0)
            return r;
    qFatal("no record %s", name);
}

// Reads or writes element i of a numeric field as a double (integers fit exactly).
inline double fieldValue(const Field& f, const unsigned char* rec, int i = 0)
{
    const unsigned char* p = rec + f.offset;
    switch (f.type) {
    case Field::U32: { uint32_t v; std::memcpy(&v, p + 4 * i, 4); return v; }
    case Field::I32: { int32_t v; std::memcpy(&v, p + 4 * i, 4); return v; }
    case Field::F32: { float v; std::memcpy(&v, p + 4 * i, 4); return v; }
    case Field::F64: { double v; std::memcpy(&v, p + 8 * i, 8); return v; }
    default: return 0;
    }
}

inline void setFieldValue(const Field& f, unsigned char* rec, double value, int i = 0)
{
    unsigned char* p = rec + f.offset;
    switch (f.type) {
    case Field::U32: { uint32_t v = static_cast<uint32_t>(static_cast<long long>(value)); std::memcpy(p + 4 * i, &v, 4); break; }
    case Field::I32: { int32_t v = static_cast<int32_t>(value); std::memcpy(p + 4 * i, &v, 4); break; }
    case Field::F32: { float v = static_cast<float>(value); std::memcpy(p + 4 * i, &v, 4); break; }
    case Field::F64: std::memcpy(p + 8 * i, &value, 8); break;
    default: break;
    }
}

} // namespace simtest
