// get_status of a moving controller, polled every 100 ms of simulated time (stepped clock), as
// the status polling thread reads it: the cost of a call including the motion it brings up to
// date. The axis shuttles between two points, so nearly every poll finds it moving.
// Target: at most 5 us a call.
#include "trovsim.h"

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double nsPerCall;
    long moving;
};

Figures poll(device_t h, long polls, int amplitude)
{
    status_t st;
    long moving = 0;
    int leg = 0;
    double ns = 0;
    for (long i = 0; i < polls; ++i) {
        trovsim_advance_ms(100);
        auto start = Clock::now();
        get_status(h, &st);
        ns += std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        if (st.MoveSts & MOVE_STATE_MOVING)
            ++moving;
        else
            command_move(h, (leg++ % 2 ? 1 : -1) * amplitude, 0);
    }
    return {ns / static_cast<double>(polls), moving};
}

} // namespace

int main()
{
    trovsim_reset(nullptr, ""); // default set, in memory
    trovsim_clock_manual(1);
    device_t stepper = open_device("sim:axis1"), dc = open_device("sim:axis3");
    if (stepper < 0 || dc < 0) {
        std::printf("cannot open the controllers\n");
        return 0;
    }
    const long polls = 200000; // 20000 s of simulated time
    poll(stepper, 1000, 5000); // warm up
    Figures s = poll(stepper, polls, 5000);
    std::printf("get_status, stepper moving, every 100 ms: %7.0f ns a call (%ld of %ld polls while moving)\n",
                s.nsPerCall, s.moving, polls);
    Figures d = poll(dc, polls, 200000);
    std::printf("get_status, DC moving, every 100 ms:      %7.0f ns a call (%ld of %ld polls while moving)\n",
                d.nsPerCall, d.moving, polls);
    command_stop(stepper);
    status_t st;
    auto start = Clock::now();
    for (long i = 0; i < polls; ++i) {
        trovsim_advance_ms(100);
        get_status(stepper, &st);
    }
    std::printf("get_status, stepper at rest, every 100 ms:%7.0f ns a call\n",
                std::chrono::duration<double, std::nano>(Clock::now() - start).count() / static_cast<double>(polls));
    close_device(&stepper);
    close_device(&dc);
    return 0;
}
