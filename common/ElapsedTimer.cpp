#include "common/ElapsedTimer.h"

#include <limits>

namespace {

int clampToInt(qint64 value)
{
    return value > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                    : static_cast<int>(value);
}

} // namespace

ElapsedTimer::ElapsedTimer()
{
    start.start();
}

void ElapsedTimer::restart()
{
    start.restart();
}

int ElapsedTimer::elapsedSecs() const
{
    return clampToInt(start.elapsed() / 1000);
}

int ElapsedTimer::elapsedMsecs() const
{
    return clampToInt(start.elapsed());
}
