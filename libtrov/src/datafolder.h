// The folder that holds the controllers' memories and locks, made on first need. Without one
// (TROVSIM_PERSIST=0, an empty path, or a folder that cannot be made) everything stays in memory.
#pragma once

#include <atomic>
#include <string>

namespace trovsim {

class DataFolder {
public:
    explicit DataFolder(std::string path) : path_(std::move(path)) {}

    bool inMemory() const { return path_.empty() || state_.load() < 0; }
    const std::string& path() const { return path_; }
    // Makes the folder if needed. False if it cannot be used (reported once, at level 2).
    bool ensure();
    // The folder exists already (reading needs no folder to be made).
    bool exists() const;

private:
    const std::string path_;
    std::atomic<int> state_{0}; // 0 unknown, 1 usable, -1 unusable
};

} // namespace trovsim
