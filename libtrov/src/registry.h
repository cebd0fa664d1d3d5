// The process-wide simulator state: configuration, the set of controllers, the handle table and
// the enumeration snapshots. Its mutex guards only lookups; a controller's own mutex is taken
// after it (never the other way round) and nothing sleeps under either.
#pragma once

#include "configuration.h"
#include "controller.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace trovsim {

class Registry {
public:
    static Registry& instance();

    // Reads the environment and powers the controllers on, once per process.
    void ensureStarted();
    // Power-cycles everything and loads a controller set (NULL = from the environment) with the
    // data folder (NULL = from the environment, "" = in memory).
    void reset(const char* controllerSet, const char* dataDir);

    std::shared_ptr<Controller> byHandle(device_t handle);
    std::shared_ptr<Controller> byName(const char* name);
    std::vector<std::shared_ptr<Controller>> controllers();

    device_t open(const char* name);
    result_t close(device_t* handle);

    void* enumerate(int flags);
    result_t freeEnumeration(void* handle);
    int count(void* handle);
    const char* name(void* handle, int index);
    result_t serial(void* handle, int index, uint32_t* serial);
    result_t information(void* handle, int index, device_information_t* info);

    // At process exit: only try-locks, so threads stuck in a call cannot block the exit.
    void atExit();
    void setReuseHandles(bool on) { reuseHandles_.store(on); }

private:
    struct Snapshot {
        std::vector<Listing> rows;
    };
    Registry() = default;
    void applyEnvironment(const Environment& env);
    void load(const char* controllerSet, const char* dataDir);
    const Listing* row(void* handle, int index); // mutex_ held

    std::shared_mutex mutex_; // shared by lookups, exclusive for changes
    std::once_flag started_;
    std::vector<std::shared_ptr<Controller>> controllers_;
    std::unordered_map<device_t, std::shared_ptr<Controller>> handles_;
    std::unordered_map<const void*, std::unique_ptr<Snapshot>> snapshots_;
    std::vector<std::string> problems_; // told at the next enumeration
    std::atomic<device_t> nextHandle_{1};
    // Test control: open_device hands back the lowest number not in use, as another library may.
    std::atomic<bool> reuseHandles_{false};
    uint64_t generation_ = 0; // counts the controller sets loaded (mutex_)
};

} // namespace trovsim
