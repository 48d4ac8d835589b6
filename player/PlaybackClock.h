#pragma once

#include <functional>

// The player's one clock. It follows the music's play position, smoothed so
// that it never runs backwards and never jumps between frames except on a
// seek; without a music position (none, muted, ended) a monotonic clock
// carries it on.
class PlaybackClock
{
public:
    // Both give seconds; the music source gives a negative value while there
    // is no position to follow.
    using Source = std::function<double()>;

    PlaybackClock(Source monotonicSeconds, Source musicSeconds);

    // Once a frame: the timeline time for this frame.
    double Tick();
    double Time() const { return mTime; }
    // The music position seen by the latest Tick, negative if none.
    double MusicTime() const { return mMusicTime; }
    void Seek(double time);
    void SetPaused(bool paused);
    bool IsPaused() const { return mPaused; }

    // The distance to the music closes by 1 - 1/e in this time, whatever the
    // frame rate: a share per frame would lag further at a lower rate.
    static constexpr double CatchUpSeconds = 0.1;
    // The clock runs at least this much slower and at most this much faster
    // than real time while it catches up.
    static constexpr double MaxRateChange = 0.5;

private:
    Source mMonotonic;
    Source mMusic;
    double mTime = 0.0;
    double mLastNow = 0.0;
    double mMusicTime = -1.0;
    bool mPaused = false;
};
