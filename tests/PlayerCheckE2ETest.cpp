#include "ProgramRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ProgramRun;
using VexelTest::RunResult;
using Lines = std::vector<std::string>;

namespace {

const std::string Head = "<Halvorn-demo-settings>\n  <soundtrack file=\"data/music/track.ogg\"/>\n  <tempo bpm=\"120\"/>\n"
                         "  <demoparts>\n";
const std::string Tail = "  </demoparts>\n</Halvorn-demo-settings>\n";

RunResult Check(const std::string& parts, bool display)
{
    ProgramRun run;
    run.args = {"--check", "show/demo.xml"};
    run.files["show/demo.xml"] = Head + parts + Tail;
    run.copies.push_back({VEXEL_DEMO_DIR "/data/music/morvelin.ogg", "show/data/music/track.ogg"});
    run.copies.push_back({VEXEL_DEMO_DIR "/data/shaders", "show/data/shaders"});
    run.copies.push_back({VEXEL_DEMO_DIR "/data/textures/star.png", "show/data/textures/star.png"});
    run.timeout = 60s;
    if (!display) {
        run.ownDisplay = false;
        run.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY"};
    }
    return VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
}

} // namespace

TEST(PlayerCheckE2ETest, EveryProblemIsListedAtItsLineAndColumnThenTheCounts)
{
    const std::string parts =
        "    <part start=\"0\" end=\"4\" name=\"sky\" class=\"lib.ClearScreen\" priority=\"0\">\n"
        "      <param color=\"0 0 x\" colour=\"1\"/>\n"
        "    </part>\n"
        "    <part start=\"1\" end=\"9\" name=\"star\" class=\"lib.Image\" priority=\"2\" clearBackground=\"True\">\n"
        "      <param image=\"star.png\"/>\n"
        "      <animate key=\"alpha\" beats=\"0 2 1\" values=\"0 1 0\"/>\n"
        "      <animate key=\"spin\" times=\"0 1\" values=\"0 1\"/>\n"
        "    </part>\n"
        "    <part start=\"inf\" end=\"2\" name=\"a\" class=\"lib.Nothing\"/>\n"
        "    <part start=\"3\" end=\"2\" name=\"back\" class=\"lib.Image\" priority=\"1\" clearColor=\"1 2\">\n"
        "      <param image=\"gone.png\"/>\n"
        "    </part>\n";
    const RunResult result = Check(parts, true);
    const std::string f = "show/demo.xml";
    EXPECT_EQ(result.OutLines(),
              (Lines{
                  f + ":6:14: error: color \"0 0 x\" has no whole number for blue: write 'r g b' with values 0-255",
                  f + ":6:28: warning: unknown parameter \"colour\" for lib.ClearScreen",
                  f + ":8:72: error: clearBackground must be \"true\" or \"false\", not \"True\"",
                  f + ":10:28: error: part \"star\": animate \"alpha\" beats do not increase (1 after 2)",
                  f + ":11:16: error: part \"star\": lib.Image cannot animate \"spin\" (it animates alpha, rotate, "
                      "relativeWidth, relativeHeight, relativeX, relativeY)",
                  f + ":13:5: error: the part has no priority attribute",
                  f + ":13:11: error: start \"inf\" is not a finite time",
                  f + ":13:40: error: unknown part class \"lib.Nothing\"",
                  f + ":14:5: warning: part \"back\" ends at 2 s, before it starts at 3 s",
                  f + ":14:72: warning: clearColor \"1 2\" has no whole number for blue: write 'r g b' with values 0-255",
                  f + ":15:14: error: picture \"data/textures/gone.png\" not found",
                  "8 errors, 3 warnings",
              }));
    EXPECT_EQ(result.exitCode, 1) << result.err;

    // A clean file, and without a display: the shaders are then not compiled.
    const std::string clean = "    <part start=\"0\" end=\"4\" name=\"star\" class=\"lib.Image\" priority=\"2\">\n"
                              "      <param image=\"star.png\"/>\n"
                              "      <animate key=\"alpha\" beats=\"0 2\" values=\"0 1\" ease=\"smooth\"/>\n"
                              "    </part>\n";
    const RunResult withGl = Check(clean, true);
    EXPECT_EQ(withGl.OutLines(), Lines{"0 errors, 0 warnings"});
    EXPECT_EQ(withGl.exitCode, 0) << withGl.err;
    const RunResult noDisplay = Check(clean, false);
    EXPECT_EQ(noDisplay.OutLines(),
              (Lines{f + ":5:41: note: shader checks skipped: no GL context", "0 errors, 0 warnings"}));
    EXPECT_EQ(noDisplay.exitCode, 0) << noDisplay.err;
    EXPECT_EQ(noDisplay.err, "");
}
