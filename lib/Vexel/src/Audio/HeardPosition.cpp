#include "Audio/HeardPosition.h"

#include <algorithm>

void HeardPosition::Mixed(double position, double bufferSeconds, double now)
{
    const std::lock_guard<std::mutex> lock(mMutex);
    mBufferSeconds = bufferSeconds;
    // A paused mixer mixes silence and keeps its position.
    mAdvancing = !mKnown || position != mMixedTo;
    mKnown = true;
    mMixedTo = position;
    mMixedAt = now;
}

void HeardPosition::Reset()
{
    const std::lock_guard<std::mutex> lock(mMutex);
    mKnown = false;
}

double HeardPosition::At(double mixerPosition, double now) const
{
    const std::lock_guard<std::mutex> lock(mMutex);
    if (!mKnown || !mAdvancing) {
        return mixerPosition;
    }
    const double heard = mMixedTo - mBufferSeconds + std::max(0.0, now - mMixedAt);
    return std::max(0.0, std::min(heard, mMixedTo));
}
