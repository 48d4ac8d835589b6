#include "Audio/HeardPosition.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// 0.1 s buffers: the mixer reports 2.1 after mixing at t = 50.0 the buffer
// that is heard from 2.0 to 2.1.
TEST(HeardPositionTest, RunsOnInRealTimeBetweenMixesAndWaitsForALateOne)
{
    struct Step
    {
        // "mix", "reset" or "at"
        std::string what;
        double position;
        double now;
        double heard;
    };
    const std::vector<Step> steps = {
        {"at", 7.0, 49.0, 7.0}, // nothing mixed yet: the mixer's own
        {"mix", 2.1, 50.0, 0.0},  {"at", 2.1, 50.0, 2.0},
        {"at", 2.1, 50.04, 2.04}, {"at", 2.1, 50.13, 2.1}, // the next mix is late: the buffer's end holds
        {"mix", 2.2, 50.14, 0.0}, {"at", 2.2, 50.15, 2.11},
        {"mix", 2.2, 50.24, 0.0}, {"at", 2.2, 50.3, 2.2},  // paused: nothing moves
        {"reset", 0.0, 0.0, 0.0}, {"at", 9.5, 50.31, 9.5}, // a seek: the mixer's own until it mixes
        {"mix", 9.6, 50.32, 0.0}, {"at", 9.6, 50.33, 9.51},
    };
    HeardPosition heard;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what + " " + std::to_string(step.position) + " at " + std::to_string(step.now));
        if (step.what == "mix") {
            heard.Mixed(step.position, 0.1, step.now);
        } else if (step.what == "reset") {
            heard.Reset();
        } else {
            EXPECT_NEAR(heard.At(step.position, step.now), step.heard, 1e-9);
        }
    }
}
