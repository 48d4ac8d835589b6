#include "PlaybackClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

// One frame of a scripted run: the monotonic time, the music position
// (negative: none), and a seek or pause change made before the tick.
struct Frame
{
    double now;
    double music;
    double seekTo = -1.0;
    int pause = -1; // -1 unchanged, 0 resume, 1 pause
};

struct Case
{
    std::string name;
    std::vector<Frame> frames;
    // The expected times after each tick; NaN where only the rules are checked.
    std::vector<double> expected;
};

const double Any = std::numeric_limits<double>::quiet_NaN();
// The share of the distance to the music closed in a tenth of a second.
const double Share = 1.0 - std::exp(-0.1 / PlaybackClock::CatchUpSeconds);

} // namespace

TEST(PlaybackClockTest, FollowsTheMusicSmoothlyAndCarriesOnWithoutIt)
{
    const std::vector<Case> cases = {
        {"no music: the monotonic clock alone", {{0.1, -1}, {0.2, -1}, {0.7, -1}}, {0.1, 0.2, 0.7}},
        {"music in step: no correction", {{0.1, 0.1}, {0.2, 0.2}, {0.3, 0.3}}, {0.1, 0.2, 0.3}},
        {"music ahead: pulled a share of the way for the time passed",
         {{0.1, 0.14}, {0.2, 0.2}},
         {0.1 + 0.04 * Share, 0.1 + 0.04 * Share + 0.1 + (0.2 - (0.2 + 0.04 * Share)) * Share}},
        {"the same share at half the frame rate: twice the time, more of the way",
         {{0.2, 0.24}},
         {0.2 + 0.04 * (1.0 - std::exp(-0.2 / PlaybackClock::CatchUpSeconds))}},
        {"music far ahead: at most half again as fast", {{0.1, 5.0}, {0.2, 5.0}}, {0.15, 0.30}},
        {"music far behind: at least half speed, never back", {{0.0, -1, 1.0}, {0.1, 0.0}, {0.2, 0.0}},
         {Any, 1.05, 1.10}},
        {"music ends: monotonic carries on", {{0.1, 0.1}, {0.2, -1}, {1.2, -1}}, {0.1, 0.2, 1.2}},
        {"paused: stands still, no jump on resume",
         {{0.1, -1}, {0.2, -1, -1, 1}, {5.0, -1}, {5.1, -1, -1, 0}, {5.2, -1}},
         {0.1, 0.1, 0.1, 0.1, 0.2}},
        {"seek: exactly there, forwards and back", {{0.1, -1}, {0.2, -1, 30.0}, {0.3, -1}, {0.3, -1, 2.0}, {0.4, -1}},
         {0.1, Any, 30.1, Any, 2.1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double now = 0.0;
        double music = -1.0;
        PlaybackClock clock([&now] { return now; }, [&music] { return music; });
        for (std::size_t i = 0; i < c.frames.size(); ++i) {
            const Frame& frame = c.frames[i];
            now = frame.now;
            music = frame.music;
            if (frame.pause >= 0) {
                clock.SetPaused(frame.pause == 1);
            }
            if (frame.seekTo >= 0.0) {
                clock.Seek(frame.seekTo);
                EXPECT_EQ(clock.Time(), frame.seekTo);
                continue;
            }
            EXPECT_NEAR(clock.Tick(), c.expected[i], 1e-9) << "frame " << i;
        }
    }
}
