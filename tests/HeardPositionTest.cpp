#include "Audio/HeardPosition.h"

#include <gtest/gtest.h>

// 0.1 s buffers: mixed at t = 50.0, the buffer up to 2.1 is heard from 2.0.
TEST(HeardPositionTest, RunsOnInRealTimeBetweenMixesAndWaitsForALateOne)
{
    // A mix (position, time), a reset ('r'), or where the music is heard at a
    // time given the mixer's own position ('a').
    const struct { char what; double position, now, heard; } steps[] = {
        {'a', 7.0, 49.0, 7.0},  // nothing mixed yet: the mixer's own
        {'m', 2.1, 50.0, 0},    {'a', 2.1, 50.04, 2.04},
        {'a', 2.1, 50.13, 2.1}, // the next mix is late: the buffer's end holds
        {'m', 2.2, 50.14, 0},   {'a', 2.2, 50.15, 2.11},
        {'m', 2.2, 50.24, 0},   {'a', 2.2, 50.3, 2.2},  // paused: nothing moves
        {'r', 0, 0, 0},         {'a', 9.5, 50.31, 9.5}, // a seek: the mixer's own until it mixes
    };
    HeardPosition heard;
    for (const auto& step : steps) {
        if (step.what == 'm') {
            heard.Mixed(step.position, 0.1, step.now);
        } else if (step.what == 'r') {
            heard.Reset();
        } else {
            EXPECT_NEAR(heard.At(step.position, step.now), step.heard, 1e-9) << step.position << " at " << step.now;
        }
    }
}
