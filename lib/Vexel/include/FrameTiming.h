#pragma once

#include <cstdint>

// The main loop's arithmetic, kept apart so that its rounding can be checked.
namespace Vexel {

// Seconds between two readings of SDL's millisecond counter, correct across
// its wrap-around. Formed in single precision, then widened.
double FrameSeconds(std::uint32_t previousTicks, std::uint32_t nowTicks);

// The reciprocal of one frame's duration, truncated toward zero to one
// decimal. A frame of no measurable length gives 0.
float FramesPerSecond(double dt);

} // namespace Vexel
