#ifndef SCRIPTTHREAD_H
#define SCRIPTTHREAD_H

#include <QString>

#include <atomic>

#include "scriptdlg/ScriptEngineThread.h"
#include "trov.h"

class DeviceInterface;

// The engine thread of the single-axis window: 65 global functions that drive one controller
// through its gateway, the library's constants and the record types.
//
// Every native finds this thread through its function's host pointer and reads the device
// handle from the shared atomic at every call, so a reconnect is seen at once.
class ScriptThread : public ScriptEngineThread
{
    Q_OBJECT
public:
    // handle: the polling thread's shared handle (-1 = no controller open); neither is owned.
    ScriptThread(DeviceInterface* gateway, std::atomic<device_t>* handle, QObject* parent = nullptr);
    // Ends the thread while the members that natives use still exist.
    ~ScriptThread() override;

    // Set by a failed motion command or status read; while set, the next one waits. The owner
    // clears it on a connected sample.
    std::atomic<bool> stoppedOnError{false};

    DeviceInterface* gateway() const { return device; }
    device_t currentHandle() const { return deviceHandle->load(); }

    // For the natives, in this thread; false when a stop came first.
    bool log(const QString& text, int level);
    // Waits while stoppedOnError is set; false when a stop ended the wait.
    bool waitForClearedError();

private:
    void registerGlobals();
    template <typename Record>
    void registerRecordFunctions(const char* typeName);

    DeviceInterface* const device;
    std::atomic<device_t>* const deviceHandle;
};

#endif // SCRIPTTHREAD_H
