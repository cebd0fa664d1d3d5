// The controller's memories in their files: the flash (identity and saved settings), the
// positioner's EEPROM and the position memory (FRAM).
#include "controller.h"

#include "logsink.h"
#include "persist.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

namespace trovsim {

namespace {

void log(int level, const std::string& text) { LogSink::instance().post(level, text); }

std::string hexBytes(const uint8_t* p, size_t n)
{
    std::string out;
    char buf[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", p[i]);
        out += buf;
    }
    return out;
}

bool parseHexBytes(const std::string& s, uint8_t* out, size_t n)
{
    if (s.size() != 2 * n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        unsigned v;
        if (std::sscanf(s.c_str() + 2 * i, "%2x", &v) != 1 || !std::isxdigit(static_cast<unsigned char>(s[2 * i])) ||
            !std::isxdigit(static_cast<unsigned char>(s[2 * i + 1])))
            return false;
        out[i] = static_cast<uint8_t>(v);
    }
    return true;
}

std::map<std::string, std::string> keysOf(const IniSection& s)
{
    std::map<std::string, std::string> keys;
    for (const auto& kv : s.entries)
        keys[kv.first] = kv.second;
    return keys;
}

// Validates records as loaded from a file, entype and engine first because the others depend on
// them. Returns the first correction, or "" when everything was in range.
std::string validateLoaded(RecordSet& set, MotorKind kind, Store store)
{
    std::string first;
    auto one = [&](RecordId id, const ValidationContext& base) {
        RecordBytes defaults;
        fillDefaults(id, kind, defaults.bytes);
        ValidationContext ctx = base;
        ctx.held = defaults.bytes;
        std::string what;
        if (validate(id, set.bytes(id), ctx, &what) && first.empty())
            first = std::string(describe(id).name) + "." + what;
    };
    ValidationContext plain;
    if (store == Store::RAM) {
        one(RecordId::entype_settings, plain);
        one(RecordId::engine_settings, plain);
    }
    ValidationContext ctx = contextFor(set);
    for (int i = 0; i < kRecordCount; ++i) {
        RecordId id = static_cast<RecordId>(i);
        if (describe(id).store == store && id != RecordId::entype_settings && id != RecordId::engine_settings)
            one(id, ctx);
    }
    return first;
}

} // namespace

// --- flash and EEPROM

void Controller::loadFlash()
{
    if (!folder_ || folder_->inMemory())
        return; // in memory the flash lives as long as this object
    identity_ = configIdentity();
    fillAllDefaults(flash_, config_.motor, Store::RAM);
    errd_ = false;
    std::string text;
    if (!readWholeFile(path(".flash"), text))
        return; // never saved: defaults

    RecordSet loaded;
    fillAllDefaults(loaded, config_.motor, Store::RAM);
    Identity id = configIdentity();
    std::vector<IniSection> sections;
    std::string error;
    bool ok = parseIni(text, sections, &error);
    for (size_t i = 0; ok && i < sections.size(); ++i) {
        const IniSection& s = sections[i];
        std::map<std::string, std::string> keys = keysOf(s);
        if (s.name == "identity") {
            for (const auto& kv : keys) {
                unsigned long long serial = 0;
                if (kv.first == "serial") {
                    ok = !kv.second.empty() && kv.second.size() <= 10 &&
                         kv.second.find_first_not_of("0123456789") == std::string::npos;
                    serial = ok ? std::stoull(kv.second) : 0;
                    ok = ok && serial > 0 && serial <= 0xffffffffull;
                }
                else if (kv.first == "key")
                    ok = parseHexBytes(kv.second, id.key, sizeof id.key);
                else if (kv.first == "firmware")
                    ok = parseVersion(kv.second, id.firmware);
                else if (kv.first == "firmware_valid")
                    ok = kv.second == "yes" || kv.second == "no";
                else
                    ok = false;
                if (kv.first == "serial" && ok)
                    id.serial = static_cast<uint32_t>(serial);
                if (kv.first == "firmware_valid")
                    id.firmwareValid = kv.second == "yes";
                if (!ok)
                    error = "bad " + kv.first + " in [identity]";
                if (!ok)
                    break;
            }
            continue;
        }
        const RecordDesc* r = findRecord(s.name);
        if (!r || r->store != Store::RAM) {
            ok = false;
            error = "unknown section [" + s.name + "]";
            break;
        }
        ok = readSection(r->id, keys, loaded.bytes(r->id), &error);
    }
    if (!ok) {
        errd_ = true;
        log(2, name_ + ": flash memory unreadable (" + error + "), using the default settings");
        return;
    }
    std::string corrected = validateLoaded(loaded, config_.motor, Store::RAM);
    if (!corrected.empty()) {
        errd_ = true;
        log(2, name_ + ": flash memory held a bad value: " + corrected);
    }
    identity_ = id;
    flash_ = loaded;
}

bool Controller::writeOrSay(const char* suffix, const std::string& text)
{
    std::string error;
    if (writeFileAtomic(path(suffix), text, &error))
        return true;
    log(1, name_ + ": cannot write " + path(suffix) + ": " + error);
    return false;
}

bool Controller::writeFlash()
{
    if (!persistent())
        return true;
    std::string text = "# flash memory of " + name_ + "\n[identity]\n";
    text += "serial = " + std::to_string(identity_.serial) + "\n";
    text += "key = " + hexBytes(identity_.key, sizeof identity_.key) + "\n";
    text += "firmware = " + std::to_string(identity_.firmware[0]) + "." + std::to_string(identity_.firmware[1]) + "." +
            std::to_string(identity_.firmware[2]) + "\n";
    text += std::string("firmware_valid = ") + (identity_.firmwareValid ? "yes" : "no") + "\n";
    for (int i = 0; i < kRecordCount; ++i) {
        RecordId id = static_cast<RecordId>(i);
        if (describe(id).store == Store::RAM)
            text += writeSection(id, flash_.bytes(id));
    }
    return writeOrSay(".flash", text);
}

void Controller::loadEeprom()
{
    if (!folder_ || folder_->inMemory()) {
        if (!eepromLoaded_) {
            positionerDefaults(positionerModel_.empty() ? "LS-100" : positionerModel_, eeprom_);
            eepromHasSettings_ = false;
        }
        eepromLoaded_ = true; // the memory lives in the positioner, attached or not
        return;
    }
    positionerDefaults(positionerModel_.empty() ? "LS-100" : positionerModel_, eeprom_);
    eepromHasSettings_ = false;
    std::string text;
    if (!readWholeFile(path(".stage"), text))
        return;
    RecordSet loaded = eeprom_;
    RecordSet copy;
    fillAllDefaults(copy, config_.motor, Store::RAM);
    bool hasCopy = false;
    std::vector<IniSection> sections;
    std::string error;
    bool ok = parseIni(text, sections, &error);
    for (size_t i = 0; ok && i < sections.size(); ++i) {
        const IniSection& s = sections[i];
        bool isCopy = s.name.compare(0, 3, "ee_") == 0;
        const RecordDesc* r = findRecord(isCopy ? s.name.substr(3) : s.name);
        if (!r || r->store != (isCopy ? Store::RAM : Store::EEPROM)) {
            ok = false;
            error = "unknown section [" + s.name + "]";
            break;
        }
        ok = readSection(r->id, keysOf(s), (isCopy ? copy : loaded).bytes(r->id), &error);
        hasCopy = hasCopy || isCopy;
    }
    if (ok) {
        std::string corrected = validateLoaded(loaded, config_.motor, Store::EEPROM);
        if (hasCopy && corrected.empty())
            corrected = validateLoaded(copy, config_.motor, Store::RAM);
        if (!corrected.empty()) {
            errd_ = true;
            log(2, name_ + ": positioner memory held a bad value: " + corrected);
        }
        eeprom_ = loaded;
        eepromSettingsCopy_ = copy;
        eepromHasSettings_ = hasCopy;
        return;
    }
    errd_ = true;
    log(2, name_ + ": positioner memory unreadable (" + error + "), using the positioner's defaults");
}

bool Controller::writeEeprom()
{
    if (!persistent())
        return true;
    std::string text = "# positioner memory of " + name_ + "\n";
    for (int i = 0; i < kRecordCount; ++i) {
        RecordId id = static_cast<RecordId>(i);
        if (describe(id).store == Store::EEPROM)
            text += writeSection(id, eeprom_.bytes(id));
    }
    if (eepromHasSettings_)
        for (int i = 0; i < kRecordCount; ++i) {
            RecordId id = static_cast<RecordId>(i);
            if (describe(id).store == Store::RAM)
                text += "[ee_" + writeSection(id, eepromSettingsCopy_.bytes(id)).substr(1);
        }
    return writeOrSay(".stage", text);
}

// --- position memory

bool Controller::readFram(FramState& out)
{
    std::string text;
    if (!folder_ || folder_->inMemory() || !readWholeFile(path(".fram"), text))
        return false;
    std::vector<IniSection> sections;
    std::string error;
    bool ok = parseIni(text, sections, &error) && sections.size() == 1 && sections[0].name == "fram";
    double values[3] = {0, 0, 0};
    bool seen[3] = {false, false, false};
    static const char* const kKeys[3] = {"position", "encoder", "physical"};
    for (size_t i = 0; ok && i < sections[0].entries.size(); ++i) {
        const auto& kv = sections[0].entries[i];
        int k = 0;
        while (k < 3 && kv.first != kKeys[k])
            ++k;
        char* end = nullptr;
        double v = k < 3 ? std::strtod(kv.second.c_str(), &end) : 0;
        // a counter far beyond 32 bits is damage, not a position
        ok = k < 3 && !kv.second.empty() && end && *end == '\0' && std::isfinite(v) && std::abs(v) < 1e15;
        if (ok) {
            values[k] = v;
            seen[k] = true;
        }
    }
    ok = ok && seen[0] && seen[1] && seen[2];
    if (!ok) {
        errd_ = true;
        log(2, name_ + ": position memory unreadable, starting at zero");
        return false;
    }
    out.position = std::clamp(values[0], -2147483647.0, 2147483647.0);
    out.encoder = static_cast<int64_t>(std::llround(values[1]));
    out.physical = values[2];
    return true;
}

FramState Controller::restoredFram()
{
    FramState f = motion_.fram();
    if (!poweredBefore_) {
        f = FramState{};
        readFram(f);
        lastFram_ = f; // the file holds this already: nothing to write until it changes
        framWritten_ = true;
    }
    if (framCleared_) {
        f.position = 0;
        f.encoder = 0;
    }
    // the stage itself does not move when the memory is cleared
    f.physical = std::clamp(f.physical, config_.travelLow, config_.travelHigh);
    return f;
}

bool Controller::writeFram()
{
    if (!poweredBefore_ || !persistent())
        return true;
    FramState f = motion_.fram();
    if (framCleared_) {
        f.position = 0;
        f.encoder = 0;
    }
    if (framWritten_ && f.position == lastFram_.position && f.encoder == lastFram_.encoder &&
        f.physical == lastFram_.physical)
        return true;
    char buf[256];
    std::snprintf(buf, sizeof buf, "# position memory of %s\n[fram]\nposition = %.17g\nencoder = %lld\nphysical = %.17g\n",
                  name_.c_str(), f.position, static_cast<long long>(f.encoder), f.physical);
    if (!writeOrSay(".fram", buf))
        return false;
    framWritten_ = true;
    lastFram_ = f;
    return true;
}

} // namespace trovsim
