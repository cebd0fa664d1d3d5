// Files of the simulated controllers: INI-like text, atomic replacement, cross-process locks.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace trovsim {

struct IniSection {
    std::string name;
    int line = 0;
    std::vector<std::pair<std::string, std::string>> entries; // key, raw value (quotes kept)
};

// Parses "[section]" and "key = value" lines; ';' and '#' start comments outside quoted values.
// Returns false and describes the first bad line on a syntax error.
bool parseIni(const std::string& text, std::vector<IniSection>& sections, std::string* error);

bool readWholeFile(const std::string& path, std::string& out);
bool fileExists(const std::string& path);
// Writes a temporary file beside path, syncs it and renames it over path. On failure path is as
// it was and *error (when given) holds the system's reason.
bool writeFileAtomic(const std::string& path, const std::string& text, std::string* error = nullptr);
// Creates the folder and its parents (mode 0700 for the ones it makes).
bool makeFolder(const std::string& path);
// Takes an exclusive lock on path without waiting. Returns the descriptor, -1 if another open
// file holds it, or -2 if the file cannot be made (then there is nothing to lock).
int lockFile(const std::string& path);
// Closing the descriptor releases the lock (and only this process's hold on it).
void unlockFile(int fd);

} // namespace trovsim
