#include "PlaybackClock.h"

#include <algorithm>
#include <cmath>
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
        // Followed rather than copied, so a late report of the music does not
        // make the picture jump; the bounded rate keeps every step forward.
        const double correction = (mMusicTime - (mTime + elapsed)) * (1.0 - std::exp(-elapsed / CatchUpSeconds));
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
