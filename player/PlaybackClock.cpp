#include "PlaybackClock.h"

#include <algorithm>
#include <utility>

PlaybackClock::PlaybackClock(Source monotonicSeconds, Source musicSeconds)
    : mMonotonic(std::move(monotonicSeconds))
    , mMusic(std::move(musicSeconds))
    , mLastNow(mMonotonic())
{
}

double PlaybackClock::Tick()
{
    const double now = mMonotonic();
    const double elapsed = std::max(0.0, now - mLastNow);
    mLastNow = now;
    mMusicTime = mMusic ? mMusic() : -1.0;
    if (mPaused) {
        return mTime;
    }
    double step = elapsed;
    if (mMusicTime >= 0.0) {
        // The mixer reports its position in whole buffers, so it is followed
        // gently rather than copied; the bounded rate keeps every step forward.
        const double correction = (mMusicTime - (mTime + elapsed)) * Pull;
        step += std::clamp(correction, -MaxRateChange * elapsed, MaxRateChange * elapsed);
    }
    mTime += step;
    return mTime;
}

void PlaybackClock::Seek(double time)
{
    mTime = time;
    mLastNow = mMonotonic();
}

void PlaybackClock::SetPaused(bool paused)
{
    if (mPaused && !paused) {
        // The pause itself is not time that passed.
        mLastNow = mMonotonic();
    }
    mPaused = paused;
}
