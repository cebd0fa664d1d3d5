#ifndef POLLINGSILENCER_H
#define POLLINGSILENCER_H

// Silences every polling thread for as long as an instance lives. The constructor returns only
// once no polling tick is between its test of pollingAllowed and its signal, so the caller has
// the controller to itself. A tick tests pollingAllowed before each library call and before its
// signal, so the constructor waits for at most one library call of each polling thread: the
// call's own time plus the gateway's lock wait, about 1 s when the gateway is contended.
// Silencers may overlap and nest; polling comes back when the last one is gone. Never construct
// one on a polling thread inside its tick. On a thread with a call bar the wait ends once the bar
// is set, or after a second.
class PollingSilencer
{
public:
    PollingSilencer();
    ~PollingSilencer();
    PollingSilencer(const PollingSilencer&) = delete;
    PollingSilencer& operator=(const PollingSilencer&) = delete;

    // The polling side: a tick that may read and emit brackets that work with these.
    // beginTick returns false (and the tick must do nothing) while polling is silenced.
    static bool beginTick();
    static void endTick();
};

#endif // POLLINGSILENCER_H
