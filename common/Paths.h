#ifndef PATHS_H
#define PATHS_H

#include <QString>

// The user's configuration folder ($HOME/.config/Tolmo.conf, a folder despite its suffix).
QString configDirPath();
// Creates the configuration folder when it is missing; true when it exists afterwards.
bool createConfigDir();
QString settingsIniPath();
// The shared data folder, ending in a slash: TOLMO_SHARE_DIR when set, else /usr/share/tolmo/ when
// installed, else the executable's folder.
QString sharePath();
QString scriptsPath();
QString profilesPath();
// The part of a path after its last slash or backslash.
QString fileNameFromPath(const QString& path);

#endif
