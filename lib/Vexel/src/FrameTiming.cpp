#include "FrameTiming.h"

namespace Vexel {

double FrameSeconds(std::uint32_t previousTicks, std::uint32_t nowTicks)
{
    const std::uint32_t milliseconds = nowTicks - previousTicks;
    return static_cast<double>(static_cast<float>(milliseconds) / 1000.0f);
}

float FramesPerSecond(double dt)
{
    // 1/0 would make the truncation below undefined; the first frame can
    // take no time at all.
    if (!(dt > 0.0)) {
        return 0.0f;
    }
    const int tenths = static_cast<int>(1.0 / dt * 10.0);
    return static_cast<float>(tenths) / 10.0f;
}

} // namespace Vexel
