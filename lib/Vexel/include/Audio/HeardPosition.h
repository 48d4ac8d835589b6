#pragma once

#include <mutex>

// Where the music is heard now, between the mixer's reports. SDL_mixer moves
// its music position a whole mixing buffer at a time (93 ms at 4096 frames),
// and a clock that followed it would step with it. After each mix the mixer's
// position is noted with the time: the buffer just mixed is heard from then
// on, so in between the position runs on in real time from the buffer's start
// and waits at its end when the next mix is late.
class HeardPosition
{
public:
    // From the audio thread after each mix: where the music stands once the
    // buffer just mixed has been heard, how long that buffer plays, and when
    // (seconds on any steady clock).
    void Mixed(double position, double bufferSeconds, double now);
    // The music jumped, stopped or paused: until the next mix, the mixer's
    // own position is the one heard.
    void Reset();
    // The position heard at now, given the mixer's own position.
    double At(double mixerPosition, double now) const;

private:
    mutable std::mutex mMutex;
    double mBufferSeconds = 0.0;
    bool mKnown = false;
    bool mAdvancing = false;
    double mMixedTo = 0.0;
    double mMixedAt = 0.0;
};
