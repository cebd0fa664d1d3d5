#include "registry.h"

#include "clock.h"
#include "logsink.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace trovsim {

Registry& Registry::instance()
{
    static Registry* registry = new Registry; // never destroyed: calls may still run during exit
    return *registry;
}

void Registry::applyEnvironment(const Environment& env)
{
    LogSink::instance().setThreshold(env.logLevel);
    // a test that set the clock keeps it unless the environment says otherwise
    if (env.manualClockGiven)
        Clock::instance().setManual(env.manualClock);
    if (env.scaleGiven)
        Clock::instance().setScale(env.scale);
}

void Registry::ensureStarted()
{
    std::call_once(started_, [this] {
        applyEnvironment(Environment::read());
        std::lock_guard<std::shared_mutex> lock(mutex_);
        load(nullptr, nullptr);
        std::atexit([] { Registry::instance().atExit(); });
    });
}

void Registry::reset(const char* controllerSet, const char* dataDir)
{
    ensureStarted();
    applyEnvironment(Environment::read());
    std::lock_guard<std::shared_mutex> lock(mutex_);
    load(controllerSet, dataDir);
}

void Registry::load(const char* controllerSet, const char* dataDir)
{
    Environment env = Environment::read();
    if (dataDir)
        env.dataDir = dataDir;
    ControllerSet set = loadControllerSet(controllerSet, env);
    auto folder = std::make_shared<DataFolder>(env.persist ? env.dataDir : std::string());

    // the old controllers let go of their handles, files and locks before the new ones read them
    for (auto& c : controllers_) {
        std::lock_guard<std::mutex> lock(c->mutex());
        c->retire();
    }
    controllers_.clear();
    double now = Clock::instance().nowMs();
    for (const ControllerConfig& config : set.controllers) {
        auto c = std::make_shared<Controller>(config, folder, env.noise);
        std::lock_guard<std::mutex> lock(c->mutex());
        c->powerOn(now);
        controllers_.push_back(c);
    }
    problems_ = set.problems;
    // Also on standard error: without a log callback a mistyped configuration would pass unseen.
    for (const std::string& p : set.problems)
        std::fprintf(stderr, "trovsim: controller configuration: %s\n", p.c_str());
    ++generation_;
}

std::shared_ptr<Controller> Registry::byHandle(device_t handle)
{
    std::shared_lock<std::shared_mutex> lock(mutex_);
    auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : it->second;
}

std::shared_ptr<Controller> Registry::byName(const char* name)
{
    if (!name)
        return nullptr;
    std::shared_lock<std::shared_mutex> lock(mutex_);
    for (auto& c : controllers_)
        if (c->name() == name)
            return c;
    return nullptr;
}

std::vector<std::shared_ptr<Controller>> Registry::controllers()
{
    std::shared_lock<std::shared_mutex> lock(mutex_);
    return controllers_;
}

device_t Registry::open(const char* name)
{
    std::shared_ptr<Controller> c = byName(name);
    if (!c)
        return -1;
    device_t handle = -1;
    if (reuseHandles_.load()) {
        // Reserved (an empty entry, unknown to lookups) so that no other open takes it meanwhile.
        std::lock_guard<std::shared_mutex> lock(mutex_);
        handle = 1;
        while (handles_.count(handle))
            ++handle;
        handles_[handle] = nullptr;
    } else {
        handle = nextHandle_.fetch_add(1);
    }
    result_t opened = result_error;
    {
        std::lock_guard<std::mutex> lock(c->mutex());
        c->advance(Clock::instance().nowMs());
        opened = c->open(handle);
    }
    std::lock_guard<std::shared_mutex> lock(mutex_);
    if (opened != result_ok) {
        handles_.erase(handle);
        return -1;
    }
    handles_[handle] = c;
    return handle;
}

result_t Registry::close(device_t* handle)
{
    if (!handle)
        return result_error;
    std::shared_ptr<Controller> c;
    {
        std::lock_guard<std::shared_mutex> lock(mutex_);
        auto it = handles_.find(*handle);
        if (it == handles_.end() || !it->second)
            return result_error;
        c = it->second;
        handles_.erase(it);
    }
    {
        std::lock_guard<std::mutex> lock(c->mutex());
        c->close(*handle); // a lost handle is simply released
    }
    *handle = -1;
    return result_ok;
}

void* Registry::enumerate(int flags)
{
    std::vector<std::string> problems;
    {
        std::lock_guard<std::shared_mutex> lock(mutex_);
        problems.swap(problems_);
    }
    for (const std::string& p : problems)
        LogSink::instance().post(2, "controller configuration: " + p);
    auto snapshot = std::make_unique<Snapshot>();
    // A reset while the controllers are being listed would leave some of them out (the old set
    // is retired, the new one not yet seen): list again until one set was listed whole.
    for (int attempt = 0;; ++attempt) {
        std::vector<std::shared_ptr<Controller>> list;
        uint64_t generation;
        {
            std::shared_lock<std::shared_mutex> lock(mutex_);
            list = controllers_;
            generation = generation_;
        }
        snapshot->rows.clear();
        double now = Clock::instance().nowMs();
        for (auto& c : list) {
            std::lock_guard<std::mutex> lock(c->mutex());
            c->advance(now);
            Listing row;
            if (c->listing(flags, row))
                snapshot->rows.push_back(row);
        }
        std::lock_guard<std::shared_mutex> lock(mutex_);
        if (generation == generation_ || attempt >= 100) {
            void* key = snapshot.get();
            snapshots_[key] = std::move(snapshot);
            return key;
        }
    }
}

result_t Registry::freeEnumeration(void* handle)
{
    std::lock_guard<std::shared_mutex> lock(mutex_);
    return snapshots_.erase(handle) ? result_ok : result_error;
}

int Registry::count(void* handle)
{
    std::shared_lock<std::shared_mutex> lock(mutex_);
    auto it = snapshots_.find(handle);
    return it == snapshots_.end() ? -1 : static_cast<int>(it->second->rows.size());
}

const Listing* Registry::row(void* handle, int index)
{
    auto it = snapshots_.find(handle);
    if (it == snapshots_.end() || index < 0 || static_cast<size_t>(index) >= it->second->rows.size())
        return nullptr;
    return &it->second->rows[static_cast<size_t>(index)];
}

const char* Registry::name(void* handle, int index)
{
    std::shared_lock<std::shared_mutex> lock(mutex_);
    const Listing* r = row(handle, index);
    return r ? r->name.c_str() : nullptr;
}

result_t Registry::serial(void* handle, int index, uint32_t* serial)
{
    std::shared_lock<std::shared_mutex> lock(mutex_);
    const Listing* r = row(handle, index);
    if (!r || !serial || !r->readable)
        return result_error;
    *serial = r->serial;
    return result_ok;
}

result_t Registry::information(void* handle, int index, device_information_t* info)
{
    std::shared_lock<std::shared_mutex> lock(mutex_);
    const Listing* r = row(handle, index);
    if (!r || !info || !r->readable)
        return result_error;
    std::memcpy(info, &r->info, sizeof *info);
    return result_ok;
}

void Registry::atExit()
{
    // the program's callback may belong to objects that exit has already destroyed
    LogSink::instance().setCallback(nullptr);
    if (!mutex_.try_lock())
        return;
    for (auto& c : controllers_)
        if (c->mutex().try_lock()) {
            c->shutdown();
            c->mutex().unlock();
        }
    mutex_.unlock();
}

} // namespace trovsim
