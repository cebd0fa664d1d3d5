#ifndef SETTINGSTREESTATE_H
#define SETTINGSTREESTATE_H

#include <array>

#include "settingsdlg/SettingsPageIndex.h"

using SettingsTreeState = std::array<bool, settingsPageIndex(SettingsPage::Count)>;

// Which of the settings dialog's items can be used (the item itself; a child of an unusable item
// is unusable too): for the controller's mode (1 bootloader, else firmware or none), the engine
// type shown, the last engine type of 1, 3 or 5 seen (0: none yet) and a multi-axis dialog.
// An engine type other than 1, 3 or 5 turns off the three motor pages; the PID and the stage
// motor pages keep to the last type seen.
SettingsTreeState settingsTreeState(int mode, unsigned int engineType, unsigned int lastKnownType, bool multiaxis);

// The engine type 1, 3 or 5 to remember: engineType when it is one, else lastKnownType.
unsigned int knownEngineType(unsigned int engineType, unsigned int lastKnownType);

#endif // SETTINGSTREESTATE_H
