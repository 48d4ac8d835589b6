#include "ProgramRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ProgramRun;
using VexelTest::RunMorvelin;
using VexelTest::RunResult;

// Bad animations are among the failures in MorvelinE2ETest.
TEST(AnimationE2ETest, AnimatedColourInBeatsReachesTheScreen)
{
    // At 120 bpm the colour steps from red to green three seconds into the part,
    // which starts a second into the demo: keys count from the part's start.
    const std::string soundtrack = "data/music/morvelin.ogg";
    ProgramRun run;
    run.files["morvelin.xml"] =
        "<Halvorn-demo-settings><soundtrack file=\"" + soundtrack +
        "\"/><tempo bpm=\"120\"/><demoparts>"
        "<part start=\"1\" end=\"30\" name=\"sky\" class=\"lib.ClearScreen\" priority=\"0\"><param color=\"0 0 200\"/>"
        "<animate key=\"color\" beats=\"0 6\" values=\"200 0 0; 0 200 0\" ease=\"step\"/></part>"
        "</demoparts></Halvorn-demo-settings>\n";
    run.copies.push_back({VEXEL_DEMO_DIR "/" + soundtrack, soundtrack});
    run.timeout = 40s;
    std::vector<unsigned char> early, late;
    const size_t centre = (360 * 1280 + 640) * 3;
    run.whileRunning = [&](VexelTest::RunningProgram& program) {
        if (program.WaitForOutput("\"sky\" to currentparts...", 30s)) {
            // The first frames may take a moment to reach the screen.
            const auto moved = std::chrono::steady_clock::now();
            do {
                std::this_thread::sleep_for(100ms);
                early = program.Screenshot();
            } while (early.size() > centre && early[centre] == 0 && std::chrono::steady_clock::now() - moved < 2s);
            std::this_thread::sleep_until(moved + 4s);
            late = program.Screenshot();
        }
        program.Key("Escape");
    };
    const RunResult result = RunMorvelin(run);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    ASSERT_EQ(early.size(), 1280u * 720u * 3u);
    ASSERT_EQ(late.size(), early.size());
    EXPECT_EQ((std::vector<int>{early[centre], early[centre + 1], early[centre + 2]}), (std::vector<int>{200, 0, 0}));
    EXPECT_EQ((std::vector<int>{late[centre], late[centre + 1], late[centre + 2]}), (std::vector<int>{0, 200, 0}));
}
