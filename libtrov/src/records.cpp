#include "records.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace trovsim {

namespace {

#define TROV_RECORD(record, store) const FieldDesc kFields_##record[] = {
#define TROV_FIELD(record, field, type, count, rule, a, b, d0, d1, d2)                              \
    {#field, offsetof(record##_t, field), FieldType::type, count, Rule::rule, a, b, {d0, d1, d2}},
#define TROV_END(record) };
#include "records.def"
#undef TROV_RECORD
#undef TROV_FIELD
#undef TROV_END

const RecordDesc kRecords[] = {
#define TROV_RECORD(record, store)                                                                  \
    {#record, RecordId::record, Store::store, sizeof(record##_t), kFields_##record,                 \
     static_cast<int>(sizeof kFields_##record / sizeof kFields_##record[0])},
#define TROV_FIELD(...)
#define TROV_END(record)
#include "records.def"
#undef TROV_RECORD
#undef TROV_FIELD
#undef TROV_END
};
static_assert(sizeof kRecords / sizeof kRecords[0] == kRecordCount, "record table out of step");

// Enumerated sets named by ENUM's first argument.
const uint32_t kEngineTypes[] = {ENGINE_TYPE_DC, ENGINE_TYPE_2DC, ENGINE_TYPE_STEP, ENGINE_TYPE_BRUSHLESS};
const uint32_t kDriverTypes[] = {DRIVER_TYPE_DISCRETE_FET, DRIVER_TYPE_INTEGRATE, DRIVER_TYPE_EXTERNAL};
const uint32_t kBaudRates[] = {9600, 14400, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

bool inEnumSet(long long set, uint32_t value)
{
    const uint32_t* begin = nullptr;
    size_t n = 0;
    switch (set) {
    case 0: begin = kEngineTypes; n = sizeof kEngineTypes / sizeof *kEngineTypes; break;
    case 1: begin = kDriverTypes; n = sizeof kDriverTypes / sizeof *kDriverTypes; break;
    case 2: begin = kBaudRates; n = sizeof kBaudRates / sizeof *kBaudRates; break;
    default: return false;
    }
    for (size_t i = 0; i < n; ++i)
        if (begin[i] == value)
            return true;
    return false;
}

size_t elementSize(FieldType t)
{
    switch (t) {
    case FieldType::F64: return 8;
    case FieldType::TEXT:
    case FieldType::BYTES: return 1;
    default: return 4;
    }
}

size_t fieldBytes(const FieldDesc& f) { return elementSize(f.type) * static_cast<size_t>(f.count); }

template <class T> T load(const uint8_t* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class T> void store(uint8_t* p, T v) { std::memcpy(p, &v, sizeof v); }

long long loadInt(const FieldDesc& f, const uint8_t* p)
{
    return f.type == FieldType::I32 ? static_cast<long long>(load<int32_t>(p))
                                    : static_cast<long long>(load<uint32_t>(p));
}
void storeInt(const FieldDesc& f, uint8_t* p, long long v)
{
    if (f.type == FieldType::I32)
        store<int32_t>(p, static_cast<int32_t>(v));
    else
        store<uint32_t>(p, static_cast<uint32_t>(v));
}

std::string hex(unsigned long long v)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llx", v);
    return buf;
}

bool hexWord(Rule r) { return r == Rule::MASK || r == Rule::CONTROL_FLAGS || r == Rule::EXTIO_MODE; }

std::string elementName(const FieldDesc& f, int i)
{
    return f.count > 1 && f.type != FieldType::TEXT && f.type != FieldType::BYTES
        ? std::string(f.name) + "[" + std::to_string(i) + "]"
        : std::string(f.name);
}

// --- text values

std::string quote(const char* text, size_t max)
{
    std::string out = "\"";
    for (size_t i = 0; i < max && text[i]; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        }
    }
    return out + "\"";
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool unquote(const std::string& value, std::string& out)
{
    out.clear();
    if (value.size() < 2 || value.front() != '"' || value.back() != '"')
        return false;
    for (size_t i = 1; i + 1 < value.size(); ++i) {
        char c = value[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (i + 2 >= value.size())
            return false;
        char e = value[++i];
        if (e == '"' || e == '\\') {
            out += e;
        } else if (e == 'x' && i + 3 < value.size()) {
            int h = hexDigit(value[i + 1]), l = hexDigit(value[i + 2]);
            if (h < 0 || l < 0)
                return false;
            out += static_cast<char>(h * 16 + l);
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

std::vector<std::string> splitWords(const std::string& s)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        size_t j = i;
        while (j < s.size() && s[j] != ' ' && s[j] != '\t')
            ++j;
        if (j > i)
            words.push_back(s.substr(i, j - i));
        i = j;
    }
    return words;
}

bool parseInteger(const std::string& w, long long lo, long long hi, long long& out)
{
    const char* b = w.data();
    const char* e = b + w.size();
    bool neg = false;
    if (b < e && *b == '-') {
        neg = true;
        ++b;
    }
    int base = 10;
    if (e - b > 2 && b[0] == '0' && (b[1] == 'x' || b[1] == 'X')) {
        base = 16;
        b += 2;
    }
    unsigned long long v = 0;
    auto r = std::from_chars(b, e, v, base);
    if (r.ec != std::errc() || r.ptr != e || b == e)
        return false;
    if (v > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
        return false;
    long long s = neg ? -static_cast<long long>(v) : static_cast<long long>(v);
    if (s < lo || s > hi)
        return false;
    out = s;
    return true;
}

template <class T> std::string formatFloat(T v)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

template <class T> bool parseFloat(const std::string& w, T& out)
{
    auto r = std::from_chars(w.data(), w.data() + w.size(), out);
    return r.ec == std::errc() && r.ptr == w.data() + w.size();
}

bool parseElements(const FieldDesc& f, const std::string& value, uint8_t* p, std::string* error)
{
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(f.name) + ": " + what + " '" + value + "'";
        return false;
    };
    if (f.type == FieldType::TEXT) {
        std::string text;
        if (!unquote(value, text))
            return fail("bad text");
        if (text.size() > static_cast<size_t>(f.count) - 1 || text.find('\0') != std::string::npos)
            return fail("text too long");
        std::memset(p, 0, static_cast<size_t>(f.count));
        std::memcpy(p, text.data(), text.size());
        return true;
    }
    if (f.type == FieldType::BYTES) {
        if (value.size() != 2 * static_cast<size_t>(f.count))
            return fail("bad byte string");
        for (int i = 0; i < f.count; ++i) {
            int h = hexDigit(value[2 * i]), l = hexDigit(value[2 * i + 1]);
            if (h < 0 || l < 0)
                return fail("bad byte string");
            p[i] = static_cast<uint8_t>(h * 16 + l);
        }
        return true;
    }
    std::vector<std::string> words = splitWords(value);
    if (words.size() != static_cast<size_t>(f.count))
        return fail("wrong number of values");
    size_t step = elementSize(f.type);
    for (int i = 0; i < f.count; ++i) {
        uint8_t* q = p + step * static_cast<size_t>(i);
        const std::string& w = words[static_cast<size_t>(i)];
        switch (f.type) {
        case FieldType::U32: {
            long long v;
            if (!parseInteger(w, 0, 0xffffffffLL, v))
                return fail("bad number");
            store<uint32_t>(q, static_cast<uint32_t>(v));
            break;
        }
        case FieldType::I32: {
            long long v;
            if (!parseInteger(w, INT32_MIN, INT32_MAX, v))
                return fail("bad number");
            store<int32_t>(q, static_cast<int32_t>(v));
            break;
        }
        case FieldType::F32: {
            float v;
            if (!parseFloat(w, v))
                return fail("bad number");
            store<float>(q, v);
            break;
        }
        case FieldType::F64: {
            double v;
            if (!parseFloat(w, v))
                return fail("bad number");
            store<double>(q, v);
            break;
        }
        default: return fail("bad field");
        }
    }
    return true;
}

// --- validation of one element

struct Correction {
    bool any = false;
    std::string first;
    void note(const std::string& text)
    {
        if (!any)
            first = text;
        any = true;
    }
};

void checkInteger(const FieldDesc& f, int index, uint8_t* p, const ValidationContext& ctx, Correction& c)
{
    long long v = loadInt(f, p);
    std::string name = elementName(f, index);
    auto clampTo = [&](long long lo, long long hi) {
        if (v < lo || v > hi) {
            long long to = v < lo ? lo : hi;
            c.note(name + " " + std::to_string(v) + " out of range " + std::to_string(lo) + ".." +
                   std::to_string(hi) + ", set to " + std::to_string(to));
            storeInt(f, p, to);
        }
    };
    switch (f.rule) {
    case Rule::ANY: break;
    case Rule::RANGE:
    case Rule::RANGE_NZ: clampTo(f.a, f.b); break;
    case Rule::USTEP:
        if (ctx.stepper) {
            long long d = static_cast<long long>(ctx.divisor);
            clampTo(f.type == FieldType::I32 ? -(d - 1) : 0, d - 1);
        }
        break;
    case Rule::MASK:
        if (static_cast<unsigned long long>(v) & ~static_cast<unsigned long long>(f.a) & 0xffffffffULL) {
            long long to = v & f.a;
            c.note(name + " " + hex(static_cast<unsigned long long>(v)) + " has bits outside " +
                   hex(static_cast<unsigned long long>(f.a)) + ", set to " + hex(static_cast<unsigned long long>(to)));
            storeInt(f, p, to);
        }
        break;
    default: break;
    }
}

} // namespace

const RecordDesc& describe(RecordId id) { return kRecords[static_cast<int>(id)]; }

const RecordDesc* findRecord(const std::string& name)
{
    for (const RecordDesc& r : kRecords)
        if (name == r.name)
            return &r;
    return nullptr;
}

uint32_t microstepDivisor(uint32_t mode) { return mode >= 2 && mode <= 9 ? 1u << (mode - 1) : 1u; }

ValidationContext contextFor(const RecordSet& ram)
{
    ValidationContext ctx;
    ctx.divisor = microstepDivisor(ram.get<engine_settings_t>().MicrostepMode);
    ctx.stepper = ram.get<entype_settings_t>().EngineType == ENGINE_TYPE_STEP;
    return ctx;
}

void fillDefaults(RecordId id, MotorKind kind, uint8_t* out)
{
    const RecordDesc& r = describe(id);
    std::memset(out, 0, r.size);
    for (int i = 0; i < r.fieldCount; ++i) {
        const FieldDesc& f = r.fields[i];
        const char* text = nullptr;
        for (int k = static_cast<int>(kind); k >= 0 && !text; --k)
            text = f.defaults[k];
        if (text)
            parseElements(f, text, out + f.offset, nullptr);
    }
}

void fillAllDefaults(RecordSet& set, MotorKind kind, Store st)
{
    for (const RecordDesc& r : kRecords)
        if (r.store == st)
            fillDefaults(r.id, kind, set.bytes(r.id));
}

void normalise(RecordId id, uint8_t* rec)
{
    const RecordDesc& r = describe(id);
    bool covered[kMaxRecordSize] = {};
    for (int i = 0; i < r.fieldCount; ++i) {
        const FieldDesc& f = r.fields[i];
        size_t n = fieldBytes(f);
        if (f.type == FieldType::TEXT) {
            // bytes after the terminator carry nothing; zero them so every copy compares equal
            size_t len = strnlen(reinterpret_cast<const char*>(rec + f.offset), n);
            if (len < n)
                std::memset(rec + f.offset + len, 0, n - len);
        }
        for (size_t b = 0; b < n; ++b)
            covered[f.offset + b] = true;
    }
    for (size_t b = 0; b < r.size; ++b)
        if (!covered[b])
            rec[b] = 0;
}

bool validate(RecordId id, uint8_t* rec, const ValidationContext& ctx, std::string* firstCorrection)
{
    const RecordDesc& r = describe(id);
    Correction c;
    for (int i = 0; i < r.fieldCount; ++i) {
        const FieldDesc& f = r.fields[i];
        uint8_t* p = rec + f.offset;
        const uint8_t* held = ctx.held ? ctx.held + f.offset : nullptr;
        switch (f.type) {
        case FieldType::TEXT: {
            size_t n = static_cast<size_t>(f.count);
            if (strnlen(reinterpret_cast<const char*>(p), n) == n) {
                p[n - 1] = 0;
                c.note(std::string(f.name) + " is not terminated, cut to " + std::to_string(n - 1) + " characters");
            }
            break;
        }
        case FieldType::BYTES: break;
        case FieldType::F32:
        case FieldType::F64:
            for (int e = 0; e < f.count; ++e) {
                uint8_t* q = p + elementSize(f.type) * static_cast<size_t>(e);
                double v = f.type == FieldType::F32 ? load<float>(q) : load<double>(q);
                if (!std::isfinite(v)) {
                    if (f.type == FieldType::F32)
                        store<float>(q, 0.0f);
                    else
                        store<double>(q, 0.0);
                    c.note(elementName(f, e) + " is not a finite number, set to 0");
                }
            }
            break;
        case FieldType::U32:
        case FieldType::I32:
            for (int e = 0; e < f.count; ++e) {
                uint8_t* q = p + 4 * static_cast<size_t>(e);
                const uint8_t* h = held ? held + 4 * static_cast<size_t>(e) : nullptr;
                uint32_t v = load<uint32_t>(q);
                uint32_t keep = h ? load<uint32_t>(h) : 0;
                std::string name = elementName(f, e);
                switch (f.rule) {
                case Rule::ENUM:
                case Rule::ENUM_RANGE: {
                    bool ok = f.rule == Rule::ENUM ? inEnumSet(f.a, v)
                                                   : (static_cast<long long>(v) >= f.a && static_cast<long long>(v) <= f.b);
                    if (!ok) {
                        store<uint32_t>(q, keep);
                        c.note(name + " " + std::to_string(v) + " is not a valid value, kept " + std::to_string(keep));
                    }
                    break;
                }
                case Rule::CONTROL_FLAGS: {
                    uint32_t to = v & 0xF;
                    if ((to & CONTROL_MODE_BITS) > CONTROL_MODE_LR)
                        to = (to & ~static_cast<uint32_t>(CONTROL_MODE_BITS)) | (keep & CONTROL_MODE_BITS);
                    if (to != v) {
                        store<uint32_t>(q, to);
                        c.note(name + " " + hex(v) + " is not valid, set to " + hex(to));
                    }
                    break;
                }
                case Rule::EXTIO_MODE: {
                    uint32_t to = v & 0xFF;
                    if ((to & 0xF) > EXTIO_SETUP_MODE_IN_HOME)
                        to = (to & 0xF0) | (keep & 0xF);
                    if ((to & 0xF0) > EXTIO_SETUP_MODE_OUT_MOTOR_FOUND)
                        to = (to & 0xF) | (keep & 0xF0);
                    if (to != v) {
                        store<uint32_t>(q, to);
                        c.note(name + " " + hex(v) + " is not valid, set to " + hex(to));
                    }
                    break;
                }
                default: checkInteger(f, e, q, ctx, c); break;
                }
            }
            if (f.rule == Rule::RANGE_NZ && load<uint32_t>(p) == 0 && i + 1 < r.fieldCount &&
                load<uint32_t>(rec + r.fields[i + 1].offset) == 0) {
                store<uint32_t>(p, 1);
                c.note(std::string(f.name) + " and " + r.fields[i + 1].name + " are both 0, " + f.name + " set to 1");
            }
            break;
        }
    }
    normalise(id, rec);
    if (c.any && firstCorrection)
        *firstCorrection = c.first;
    return c.any;
}

void rescaleMicrosteps(RecordId id, uint8_t* rec, uint32_t oldDivisor, uint32_t newDivisor)
{
    if (oldDivisor == newDivisor || oldDivisor == 0)
        return;
    const RecordDesc& r = describe(id);
    for (int i = 0; i < r.fieldCount; ++i) {
        const FieldDesc& f = r.fields[i];
        if (f.rule != Rule::USTEP)
            continue;
        for (int e = 0; e < f.count; ++e) {
            uint8_t* q = rec + f.offset + 4 * static_cast<size_t>(e);
            long long v = loadInt(f, q);
            // truncation toward zero keeps the value below the new divisor
            storeInt(f, q, v * static_cast<long long>(newDivisor) / static_cast<long long>(oldDivisor));
        }
    }
}

std::string writeSection(RecordId id, const uint8_t* rec)
{
    const RecordDesc& r = describe(id);
    std::string out = "[" + std::string(r.name) + "]\n";
    for (int i = 0; i < r.fieldCount; ++i) {
        const FieldDesc& f = r.fields[i];
        const uint8_t* p = rec + f.offset;
        std::string value;
        if (f.type == FieldType::TEXT) {
            value = quote(reinterpret_cast<const char*>(p), static_cast<size_t>(f.count));
        } else if (f.type == FieldType::BYTES) {
            for (int b = 0; b < f.count; ++b) {
                char buf[4];
                std::snprintf(buf, sizeof buf, "%02x", p[b]);
                value += buf;
            }
        } else {
            for (int e = 0; e < f.count; ++e) {
                const uint8_t* q = p + elementSize(f.type) * static_cast<size_t>(e);
                if (e)
                    value += ' ';
                switch (f.type) {
                case FieldType::U32:
                    value += hexWord(f.rule) ? hex(load<uint32_t>(q)) : std::to_string(load<uint32_t>(q));
                    break;
                case FieldType::I32: value += std::to_string(load<int32_t>(q)); break;
                case FieldType::F32: value += formatFloat(load<float>(q)); break;
                case FieldType::F64: value += formatFloat(load<double>(q)); break;
                default: break;
                }
            }
        }
        out += std::string(f.name) + " = " + value + "\n";
    }
    return out;
}

bool readSection(RecordId id, const std::map<std::string, std::string>& keys, uint8_t* rec, std::string* error)
{
    const RecordDesc& r = describe(id);
    for (const auto& kv : keys) {
        const FieldDesc* field = nullptr;
        for (int i = 0; i < r.fieldCount && !field; ++i)
            if (kv.first == r.fields[i].name)
                field = &r.fields[i];
        if (!field) {
            if (error)
                *error = "unknown key " + kv.first + " in [" + r.name + "]";
            return false;
        }
        RecordBytes scratch;
        if (!parseElements(*field, kv.second, scratch.bytes, error))
            return false;
        std::memcpy(rec + field->offset, scratch.bytes, fieldBytes(*field));
    }
    return true;
}

void positionerDefaults(const std::string& model, RecordSet& set)
{
    fillAllDefaults(set, MotorKind::Stepper, Store::EEPROM);
    bool small = model == "LS-50";
    std::string name = model.substr(0, sizeof(stage_name_t::PositionerName) - 1);
    struct Entry {
        RecordId id;
        std::map<std::string, std::string> keys;
    };
    const std::string travel = small ? "50" : "100";
    const std::vector<Entry> entries = {
        {RecordId::stage_name, {{"PositionerName", quote(name.c_str(), name.size())}}},
        {RecordId::stage_information,
         {{"Manufacturer", "\"TROV\""},
          {"Series", "\"LS\""},
          {"ArticleNumber", small ? "\"LS-50-01\"" : "\"LS-100-01\""},
          {"Description", "\"Linear stage " + travel + " mm\""}}},
        {RecordId::stage_settings,
         {{"LeadScrewPitch", "1"},
          {"Units", "\"mm\""},
          {"MaxSpeed", "10"},
          {"TravelRange", travel},
          {"SupplyVoltage1", "12"},
          {"SupplyVoltage2", "24"},
          {"MaxCurrentConsumption", "1"},
          {"HorizontalLoadCapacity", "10"},
          {"VerticalLoadCapacity", "5"}}},
        {RecordId::step_information,
         {{"Manufacturer", "\"TROV\""},
          {"Series", "\"SM\""},
          {"ArticleNumber", "\"SM-200\""},
          {"Description", "\"Stepper motor, 200 steps per turn\""}}},
        {RecordId::step_settings,
         {{"NominalVoltage", "12"},
          {"CurrentPerWinding", "0.6"},
          {"HoldingTorque", "0.3"},
          {"ResistancePerWinding", "2.5"},
          {"InductancePerWinding", "3"},
          {"RotorInertia", "57"},
          {"MaxSpeed", "1000"}}},
        {RecordId::gear_information,
         {{"Manufacturer", "\"TROV\""}, {"Series", "\"GR\""}, {"ArticleNumber", "\"GR-1\""}, {"Description", "\"Gear 1:1\""}}},
        {RecordId::gear_settings,
         {{"Reduction1", "1"}, {"Reduction2", "1"}, {"MaxContinuousTorque", "1"}, {"MaxInputSpeed", "5000"}}},
    };
    for (const Entry& e : entries)
        readSection(e.id, e.keys, set.bytes(e.id), nullptr);
}

} // namespace trovsim
