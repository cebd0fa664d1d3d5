// What the simulator is told from outside: the set of controllers (inline list, INI file or the
// built-in default) and the environment variables.
#pragma once

#include "records.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trovsim {

// The hardware of one simulated controller and what hangs on it.
struct ControllerConfig {
    std::string id;
    uint32_t serial = 0;
    MotorKind motor = MotorKind::Stepper;
    uint32_t stepsPerRev = 200;
    uint32_t encoderCpr = 0; // 0 = no encoder
    bool encoderReversed = false;
    std::string positioner; // empty = no positioner EEPROM
    double supply = 12.0;   // volts
    double travelLow = -10000, travelHigh = 10000;  // hard stops, steps (counts for DC)
    double switchLow = -9800, switchHigh = 9800;    // limit switch actuation points
    bool switchPushedClosed = true;
    bool brake = false;
    double windingR = 2.5;    // ohm
    double windingL = 3000;   // uH
    bool startInBootloader = false;
    uint32_t firmware[3] = {4, 1, 0};
    uint32_t bootloader[3] = {1, 2, 0};
    bool busy = false;   // held by another program
    bool silent = false; // a port where no controller answers
    bool extra = false;  // listed only when all ports are asked for
    std::string manufacturer = "TROV";
    std::string manufacturerId = "SM";
    std::string description = "SIMSTEP";

    std::string deviceName() const { return "sim:" + id; }
};

struct Environment {
    bool controllersGiven = false;
    std::string controllers; // TROVSIM_CONTROLLERS
    std::string configPath;  // TROVSIM_CONFIG
    std::string dataDir;     // resolved data folder; empty = none
    bool persist = true;     // TROVSIM_PERSIST
    bool manualClockGiven = false;
    bool manualClock = false;
    bool scaleGiven = false;
    double scale = 1.0;
    bool noise = true;
    int logLevel = 3;

    static Environment read();
};

struct ControllerSet {
    std::vector<ControllerConfig> controllers;
    std::vector<std::string> problems; // reported once, at level 2
};

ControllerSet builtinControllerSet();
ControllerSet parseInlineControllers(const std::string& text);
ControllerSet parseIniControllers(const std::string& text, const std::string& origin);
// The set from the first source that applies: inline text, TROVSIM_CONTROLLERS, TROVSIM_CONFIG,
// <data>/controllers.ini, the built-in set.
ControllerSet loadControllerSet(const char* inlineText, const Environment& env);

bool isValidControllerId(const std::string& id);
// "major.minor.release", each a decimal of at most 32 bits and nothing else.
bool parseVersion(const std::string& s, uint32_t out[3]);

} // namespace trovsim
