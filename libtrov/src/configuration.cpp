#include "configuration.h"

#include "persist.h"

#include <charconv>
#include <cstdlib>
#include <set>

namespace trovsim {

namespace {

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(sep, start);
        parts.push_back(trim(s.substr(start, p == std::string::npos ? std::string::npos : p - start)));
        if (p == std::string::npos)
            return parts;
        start = p + 1;
    }
}

const char* env(const char* name) { return std::getenv(name); }

bool parseUnsigned(const std::string& s, uint64_t max, uint64_t& out)
{
    uint64_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size() || v > max)
        return false;
    out = v;
    return true;
}

bool parseDouble(const std::string& s, double& out)
{
    double v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size() || !(v == v))
        return false;
    out = v;
    return true;
}

bool parseBool(const std::string& s, bool& out)
{
    if (s == "yes" || s == "true" || s == "on" || s == "1") {
        out = true;
        return true;
    }
    if (s == "no" || s == "false" || s == "off" || s == "0") {
        out = false;
        return true;
    }
    return false;
}

bool parsePair(const std::string& s, double& lo, double& hi)
{
    std::vector<std::string> words;
    for (const std::string& w : split(s, ' '))
        if (!w.empty())
            words.push_back(w);
    double a, b;
    if (words.size() != 2 || !parseDouble(words[0], a) || !parseDouble(words[1], b) || !(a < b))
        return false;
    lo = a;
    hi = b;
    return true;
}

bool parseMotor(const std::string& s, MotorKind& out)
{
    if (s == "stepper")
        out = MotorKind::Stepper;
    else if (s == "dc")
        out = MotorKind::Dc;
    else if (s == "bldc")
        out = MotorKind::Bldc;
    else
        return false;
    return true;
}

// The hardware that comes with a motor kind, before any key changes it.
ControllerConfig baseConfig(const std::string& id, MotorKind motor)
{
    ControllerConfig c;
    c.id = id;
    c.motor = motor;
    if (motor != MotorKind::Stepper) {
        c.encoderCpr = 2000;
        c.travelLow = -250000;
        c.travelHigh = 250000;
        c.switchLow = -240000;
        c.switchHigh = 240000;
        c.description = motor == MotorKind::Dc ? "SIMDC" : "SIMBLDC";
    }
    return c;
}

// Duplicate serials get a fresh one; an entry with an id already taken is dropped.
void addController(ControllerSet& set, ControllerConfig c, const std::string& where, bool serialGiven)
{
    for (const ControllerConfig& o : set.controllers)
        if (o.id == c.id) {
            set.problems.push_back(where + ": duplicate controller id '" + c.id + "', entry ignored");
            return;
        }
    auto taken = [&](uint32_t s) {
        for (const ControllerConfig& o : set.controllers)
            if (o.serial == s)
                return true;
        return false;
    };
    if (!serialGiven || c.serial == 0 || taken(c.serial)) {
        if (serialGiven && c.serial != 0)
            set.problems.push_back(where + ": duplicate serial " + std::to_string(c.serial) + " of '" + c.id +
                                   "', using another");
        uint32_t s = 10001;
        while (taken(s))
            ++s;
        c.serial = s;
    }
    set.controllers.push_back(std::move(c));
}

} // namespace

bool parseVersion(const std::string& s, uint32_t out[3])
{
    std::vector<std::string> parts = split(s, '.');
    uint64_t v[3];
    if (parts.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i)
        if (!parseUnsigned(parts[static_cast<size_t>(i)], 0xffffffffu, v[i]))
            return false;
    for (int i = 0; i < 3; ++i)
        out[i] = static_cast<uint32_t>(v[i]);
    return true;
}

bool isValidControllerId(const std::string& id)
{
    if (id.empty() || id.size() > 32)
        return false;
    for (char ch : id)
        if (!((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' || ch == '-'))
            return false;
    return true;
}

Environment Environment::read()
{
    Environment e;
    if (const char* v = env("TROVSIM_CONTROLLERS")) {
        e.controllersGiven = true;
        e.controllers = v;
    }
    if (const char* v = env("TROVSIM_CONFIG"))
        e.configPath = v;
    if (const char* v = env("TROVSIM_DATA_DIR"); v && *v)
        e.dataDir = v;
    else if (const char* x = env("XDG_DATA_HOME"); x && *x)
        e.dataDir = std::string(x) + "/trovsim";
    else if (const char* h = env("HOME"); h && *h)
        e.dataDir = std::string(h) + "/.local/share/trovsim";
    if (const char* v = env("TROVSIM_PERSIST"))
        e.persist = std::string(v) != "0";
    if (const char* v = env("TROVSIM_MANUAL_CLOCK")) {
        e.manualClockGiven = true;
        e.manualClock = std::string(v) == "1";
    }
    if (const char* v = env("TROVSIM_TIME_SCALE")) {
        double s;
        if (parseDouble(trim(v), s) && s > 0) {
            e.scaleGiven = true;
            e.scale = s;
        }
    }
    if (const char* v = env("TROVSIM_NOISE"))
        e.noise = std::string(v) != "0";
    if (const char* v = env("TROVSIM_LOG_LEVEL")) {
        uint64_t l;
        if (parseUnsigned(trim(v), 4, l))
            e.logLevel = static_cast<int>(l);
    }
    return e;
}

ControllerSet builtinControllerSet()
{
    ControllerSet set;
    ControllerConfig a1 = baseConfig("axis1", MotorKind::Stepper);
    a1.serial = 10001;
    a1.encoderCpr = 4000;
    a1.positioner = "LS-100";
    ControllerConfig a2 = baseConfig("axis2", MotorKind::Stepper);
    a2.serial = 10002;
    a2.positioner = "LS-50";
    ControllerConfig a3 = baseConfig("axis3", MotorKind::Dc);
    a3.serial = 10003;
    set.controllers = {a1, a2, a3};
    return set;
}

ControllerSet parseInlineControllers(const std::string& text)
{
    ControllerSet set;
    std::string all = trim(text);
    if (all.empty() || all == "none")
        return set;
    for (const std::string& entry : split(all, ';')) {
        if (entry.empty())
            continue;
        std::vector<std::string> f = split(entry, ':');
        const std::string where = "TROVSIM_CONTROLLERS entry '" + entry + "'";
        if (!isValidControllerId(f[0])) {
            set.problems.push_back(where + ": bad controller id, entry ignored");
            continue;
        }
        MotorKind motor = MotorKind::Stepper;
        if (f.size() < 3 || !parseMotor(f[2], motor))
            set.problems.push_back(where + ": " + (f.size() < 3 ? std::string("no motor") : "unknown motor '" + f[2] + "'") +
                                   ", using stepper");
        ControllerConfig c = baseConfig(f[0], motor);
        uint64_t serial = 0;
        bool serialGiven = f.size() >= 2 && parseUnsigned(f[1], 0xffffffffu, serial) && serial != 0;
        c.serial = static_cast<uint32_t>(serial);
        for (size_t i = 3; i < f.size(); ++i) {
            const std::string& o = f[i];
            if (o == "stage")
                c.positioner = "LS-100";
            else if (o == "noencoder")
                c.encoderCpr = 0;
            else if (o == "encoder")
                c.encoderCpr = motor == MotorKind::Stepper ? 4000 : 2000;
            else if (o == "boot")
                c.startInBootloader = true;
            else if (o == "busy")
                c.busy = true;
            else if (o == "silent")
                c.silent = true;
            else if (o == "extra")
                c.extra = true;
            else
                set.problems.push_back(where + ": unknown option '" + o + "' ignored");
        }
        if (!serialGiven && !c.silent)
            set.problems.push_back(where + ": bad serial number, using another");
        addController(set, c, where, serialGiven);
    }
    return set;
}

ControllerSet parseIniControllers(const std::string& text, const std::string& origin)
{
    ControllerSet set;
    std::vector<IniSection> sections;
    std::string error;
    if (!parseIni(text, sections, &error)) {
        set.problems.push_back(origin + ": " + error + "; using the built-in controllers");
        ControllerSet builtin = builtinControllerSet();
        builtin.problems = set.problems;
        return builtin;
    }
    for (const IniSection& s : sections) {
        const std::string where = origin + " [" + s.name + "]";
        if (!isValidControllerId(s.name)) {
            set.problems.push_back(where + ": bad controller id, section ignored");
            continue;
        }
        MotorKind motor = MotorKind::Stepper;
        for (const auto& kv : s.entries)
            if (kv.first == "motor" && !parseMotor(kv.second, motor))
                set.problems.push_back(where + ": unknown motor '" + kv.second + "', using stepper");
        ControllerConfig c = baseConfig(s.name, motor);
        bool serialGiven = false;
        for (const auto& kv : s.entries) {
            const std::string& k = kv.first;
            const std::string& v = kv.second;
            uint64_t u = 0;
            double d = 0;
            bool ok = true;
            if (k == "motor") {
                continue;
            } else if (k == "serial") {
                ok = parseUnsigned(v, 0xffffffffu, u) && u != 0;
                if (ok) {
                    c.serial = static_cast<uint32_t>(u);
                    serialGiven = true;
                }
            } else if (k == "steps_per_rev") {
                ok = parseUnsigned(v, 65535, u) && u != 0;
                if (ok)
                    c.stepsPerRev = static_cast<uint32_t>(u);
            } else if (k == "encoder_cpr") {
                ok = parseUnsigned(v, 1000000, u);
                if (ok)
                    c.encoderCpr = static_cast<uint32_t>(u);
            } else if (k == "encoder_reversed") {
                ok = parseBool(v, c.encoderReversed);
            } else if (k == "positioner") {
                ok = v.size() < sizeof(stage_name_t::PositionerName) && v.find('"') == std::string::npos;
                if (ok)
                    c.positioner = v;
            } else if (k == "supply") {
                ok = parseDouble(v, d) && d >= 0 && d <= 100;
                if (ok)
                    c.supply = d;
            } else if (k == "travel") {
                ok = parsePair(v, c.travelLow, c.travelHigh);
            } else if (k == "switches") {
                ok = parsePair(v, c.switchLow, c.switchHigh);
            } else if (k == "switch_pushed") {
                ok = v == "closed" || v == "open";
                if (ok)
                    c.switchPushedClosed = v == "closed";
            } else if (k == "brake") {
                ok = parseBool(v, c.brake);
            } else if (k == "winding_r") {
                ok = parseDouble(v, d) && d > 0 && d <= 1000;
                if (ok)
                    c.windingR = d;
            } else if (k == "winding_l") {
                ok = parseDouble(v, d) && d >= 0 && d <= 1e6;
                if (ok)
                    c.windingL = d;
            } else if (k == "start_mode") {
                ok = v == "firmware" || v == "bootloader";
                if (ok)
                    c.startInBootloader = v == "bootloader";
            } else if (k == "firmware") {
                ok = parseVersion(v, c.firmware);
            } else if (k == "bootloader") {
                ok = parseVersion(v, c.bootloader);
            } else if (k == "busy") {
                ok = parseBool(v, c.busy);
            } else if (k == "manufacturer") {
                ok = v.size() < sizeof(device_information_t::Manufacturer);
                if (ok)
                    c.manufacturer = v;
            } else if (k == "manufacturer_id") {
                ok = v.size() < sizeof(device_information_t::ManufacturerId);
                if (ok)
                    c.manufacturerId = v;
            } else if (k == "description") {
                ok = v.size() < sizeof(device_information_t::ProductDescription);
                if (ok)
                    c.description = v;
            } else {
                set.problems.push_back(where + ": unknown key '" + k + "' ignored");
                continue;
            }
            if (!ok)
                set.problems.push_back(where + ": bad value '" + v + "' of " + k + ", using the default");
        }
        bool serialKey = false;
        for (const auto& kv : s.entries)
            serialKey = serialKey || kv.first == "serial";
        if (!serialKey)
            set.problems.push_back(where + ": no serial number, using another");
        addController(set, c, where, serialGiven);
    }
    return set;
}

ControllerSet loadControllerSet(const char* inlineText, const Environment& env)
{
    if (inlineText)
        return parseInlineControllers(inlineText);
    if (env.controllersGiven)
        return parseInlineControllers(env.controllers);
    std::string path = env.configPath;
    bool explicitPath = !path.empty();
    if (!explicitPath && !env.dataDir.empty())
        path = env.dataDir + "/controllers.ini";
    if (!path.empty()) {
        std::string text;
        if (readWholeFile(path, text))
            return parseIniControllers(text, path);
        if (explicitPath) {
            ControllerSet set = builtinControllerSet();
            set.problems.push_back("TROVSIM_CONFIG: cannot read " + path + "; using the built-in controllers");
            return set;
        }
    }
    return builtinControllerSet();
}

} // namespace trovsim
