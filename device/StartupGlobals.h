#ifndef STARTUPGLOBALS_H
#define STARTUPGLOBALS_H

#include <QString>

class DeviceInterface;

// Values of the start-up unit that other windows read; main thread only.

// The program-wide gateway: the single chosen controller is opened through it.
extern DeviceInterface* deviceInterface;
// While set, a search that finds exactly one usable controller chooses it without asking;
// start-up clears it after the first failed single-axis set-up.
extern bool autoSelectSingleDevice;
// The version text that the single-axis window publishes; empty in multi-axis mode.
extern QString programVersion;

// The program's version: three decimal numbers joined by full stops.
QString programVersionText();

#endif // STARTUPGLOBALS_H
