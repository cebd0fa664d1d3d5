// Cost of one get_status through the gateway against the same call straight into the library,
// on an idle simulated controller, one thread, no contention.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

#include "device/DeviceInterface.h"
#include "trovsim.h"

namespace {

template <typename Call>
double nanosecondsPerCall(int count, Call&& call)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        call();
    return double(timer.nsecsElapsed()) / count;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    trovsim_reset(nullptr, "");
    trovsim_clock_manual(1);
    DeviceInterface gateway;
    const device_t id = gateway.open_device("sim:axis1");
    if (id == -1) {
        std::fprintf(stderr, "cannot open sim:axis1\n");
        return 1;
    }
    status_t status;
    const int count = 200000;
    nanosecondsPerCall(count / 10, [&] { get_status(id, &status); }); // warm up
    const double direct = nanosecondsPerCall(count, [&] { get_status(id, &status); });
    const double wrapped = nanosecondsPerCall(count, [&] { gateway.get_status(id, &status); });
    std::printf("get_status straight into the library: %8.1f ns a call\n", direct);
    std::printf("get_status through the gateway:       %8.1f ns a call\n", wrapped);
    std::printf("gateway overhead:                     %8.1f ns a call (target at most 300)\n", wrapped - direct);
    gateway.close_device(id);
    return 0;
}
