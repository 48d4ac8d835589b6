#include "ProgramRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::IndexOf;
using VexelTest::ProgramRun;
using VexelTest::RunMorvelin;
using VexelTest::RunResult;
using Lines = std::vector<std::string>;

namespace {

const std::string Soundtrack = "data/music/morvelin.ogg";

std::string Settings(const std::string& tempo, const std::string& parts)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Halvorn-demo-settings>\n  <soundtrack file=\"" + Soundtrack +
           "\"/>\n  " + tempo + "\n  <demoparts>\n" + parts + "  </demoparts>\n</Halvorn-demo-settings>\n";
}

} // namespace

TEST(AnimationE2ETest, EachBadAnimationEndsWithOneLineNamingThePartAndStatusOne)
{
    const std::string tempo = "<tempo bpm=\"120\"/>";
    const std::string sky = "<part start=\"0\" end=\"1\" name=\"sky\" class=\"lib.ClearScreen\" priority=\"0\">";
    const std::string logo =
        "<part start=\"0\" end=\"1\" name=\"logo\" class=\"lib.Image\" priority=\"1\"><param image=\"logo.png\"/>";
    const struct
    {
        std::string tempo;
        std::string part;
        std::string problem;
    } cases[] = {
        {tempo, logo + "<animate key=\"blending\" times=\"0 1\" values=\"0 1\"/>",
         "part \"logo\": lib.Image cannot animate \"blending\" (it animates alpha, rotate, relativeWidth, "
         "relativeHeight, relativeX, relativeY)"},
        {tempo, logo + "<animate key=\"alpha\" times=\"0 1 2\" values=\"0 1\"/>",
         "part \"logo\": animate \"alpha\" has 3 times but 2 values"},
        {tempo, logo + "<animate key=\"rotate\" times=\"0 2 1\" values=\"0 1 2\"/>",
         "part \"logo\": animate \"rotate\" times do not increase (1 after 2)"},
        {tempo, logo + "<animate key=\"alpha\" times=\"0 1\" values=\"0 one\"/>",
         "part \"logo\": animate \"alpha\" value \"one\" is not a number"},
        {tempo, sky + "<animate key=\"color\" times=\"0 1\" values=\"0 0 0; 255 0\"/>",
         "part \"sky\": animate \"color\" value \"255 0\" is not a colour \"r g b\""},
        {tempo, logo + "<animate key=\"alpha\" times=\"0 1\" values=\"0 1\" ease=\"bounce\"/>",
         "part \"logo\": animate \"alpha\" has unknown ease \"bounce\" (step, linear, smooth, in or out)"},
        {"", logo + "<animate key=\"alpha\" beats=\"0 4\" values=\"0 1\"/>",
         "part \"logo\": animate \"alpha\" gives beats but the file has no tempo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        ProgramRun run;
        run.files["morvelin.xml"] = Settings(c.tempo, c.part + "</part>\n");
        run.copies.push_back({VEXEL_DEMO_DIR "/" + Soundtrack, Soundtrack});
        run.copies.push_back({VEXEL_DEMO_DIR "/data", "data"});
        run.timeout = 40s;
        const RunResult result = RunMorvelin(run);
        EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
        EXPECT_EQ(result.ErrLines(), Lines{"FATAL: " + c.problem + " (src/main.cpp:21, int main(int, char**))"});
        // Refused before the part is made: no picture loaded, nothing played.
        const Lines out = result.OutLines();
        EXPECT_EQ(IndexOf(out, "KorvaneApp::GetDemoPart()"), -1);
        EXPECT_EQ(IndexOf(out, "Moving futurepart \"logo\" to currentparts..."), -1);
        EXPECT_NE(IndexOf(out, "SDL quit was called!"), -1);
    }
}

TEST(AnimationE2ETest, AnimatedColourInBeatsReachesTheScreen)
{
    // At 120 bpm the colour steps from red to green one second into the part.
    ProgramRun run;
    run.files["morvelin.xml"] =
        Settings("<tempo bpm=\"120\"/>",
                 "<part start=\"0\" end=\"30\" name=\"sky\" class=\"lib.ClearScreen\" priority=\"0\">"
                 "<param color=\"0 0 200\"/><animate key=\"color\" beats=\"0 2\" values=\"200 0 0; 0 200 0\" "
                 "ease=\"step\"/></part>\n");
    run.copies.push_back({VEXEL_DEMO_DIR "/" + Soundtrack, Soundtrack});
    run.timeout = 40s;
    std::vector<unsigned char> early, late;
    run.whileRunning = [&](VexelTest::RunningProgram& program) {
        if (program.WaitForOutput("\"sky\" to currentparts...", 30s)) {
            // The first frames may take a moment to reach the screen.
            const auto moved = std::chrono::steady_clock::now();
            do {
                std::this_thread::sleep_for(100ms);
                early = program.Screenshot();
            } while (early.size() == 1280u * 720u * 3u && early[(360 * 1280 + 640) * 3] == 0 &&
                     std::chrono::steady_clock::now() - moved < 700ms);
            std::this_thread::sleep_until(moved + 2s);
            late = program.Screenshot();
        }
        program.Key("Escape");
    };
    const RunResult result = RunMorvelin(run);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    ASSERT_EQ(early.size(), 1280u * 720u * 3u);
    ASSERT_EQ(late.size(), early.size());
    const size_t centre = (360 * 1280 + 640) * 3;
    EXPECT_EQ((std::vector<int>{early[centre], early[centre + 1], early[centre + 2]}), (std::vector<int>{200, 0, 0}));
    EXPECT_EQ((std::vector<int>{late[centre], late[centre + 1], late[centre + 2]}), (std::vector<int>{0, 200, 0}));
}
