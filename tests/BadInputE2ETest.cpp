#include "HugePng.h"
#include "ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ProgramRun;
using VexelTest::RunResult;
using Lines = std::vector<std::string>;

// What --check calls an error stops the player's start and a capture with the
// same located line, where morvelin keeps its own way; neither program plays
// unseen without a display; the demo's end is known once its parts are.
TEST(BadInputE2ETest, EachRefusalEndsAtOnceWithItsLineAndStatus)
{
    VexelTest::TempFolder folder;
    // Interlaced, so that it can only be decoded whole.
    VexelTest::WriteHugePngHeader(folder / "huge.png", 27000, 27000, false, true);
    const std::string frag = VexelTest::ReadFile(VEXEL_DEMO_DIR "/data/shaders/standard.330.frag");
    const std::string fatal = " (src/main.cpp:21, int main(int, char**))";
    const std::string noDisplay = "vexel-player: error: no display could be opened: ";
    const std::string hint = "; --check and --capture work without one";
    const std::string tooLarge = "morvelin.xml:2:76: error: picture \"data/textures/huge.png\" is 27000x27000, larger "
                                 "than the GL maximum texture size ";
    const Lines check = {"--check", "morvelin.xml"};
    const Lines capture = {"--capture", "out/%d.png", "--size", "16x8", "morvelin.xml"};
    const Lines play = {"--window", "64x36", "morvelin.xml"};
    struct Case
    {
        std::string broken;
        bool morvelin;
        Lines args;
        std::map<std::string, std::string> env;
        int status;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"shader", false, check, {}, 1, "data/shaders/standard.330.frag:"},
        {"shader", false, capture, {}, 1, "data/shaders/standard.330.frag:"},
        {"shader", false, play, {}, 1, "data/shaders/standard.330.frag:"},
        // Reported, and it plays on with white pictures.
        {"shader", true, {}, {}, 0,
         "Shader::CompileAndAddShaderFromFile(): File \"data/shaders/standard.330.frag\" could not be compiled!"},
        {"picture", false, check, {}, 1, tooLarge},
        {"picture", true, {}, {}, 1,
         "Texture::Load(): data/textures/huge.png is 27000x27000 pixels, too large to decode (more than 2 GiB)"},
        {"", false, {"--loop", "20-30", "--window", "64x36", "morvelin.xml"}, {}, 2,
         "vexel-player: --loop: the demo ends at 0:00.300, before the loop starts, not \"20-30\""},
        {"", true, {}, {{"DISPLAY", "-"}}, 1, "FATAL: No display could be opened: DISPLAY is not set" + fatal},
        {"", true, {}, {{"DISPLAY", ""}}, 1, "FATAL: No display could be opened: DISPLAY is empty" + fatal},
        {"", true, {}, {{"DISPLAY", ":4217"}}, 1,
         "FATAL: No display could be opened: no X server at DISPLAY \":4217\"" + fatal},
        {"", false, play, {{"DISPLAY", "-"}}, 1, noDisplay + "DISPLAY is not set" + hint},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.broken + (c.morvelin ? " morvelin " : " vexel-player ") + testing::PrintToString(c.args) +
                     testing::PrintToString(c.env));
        ProgramRun run;
        run.args = c.args;
        run.files["morvelin.xml"] = "<Halvorn-demo-settings><soundtrack file=\"data/music/track.ogg\"/><demoparts>\n"
                                    "<part start=\"0\" end=\"0.3\" name=\"pic\" class=\"lib.Image\" priority=\"0\">"
                                    "<param image=\"" +
                                    std::string(c.broken == "picture" ? "huge.png" : "star.png") +
                                    "\"/></part>\n</demoparts></Halvorn-demo-settings>\n";
        run.files["data/shaders/standard.330.frag"] = c.broken == "shader" ? frag + "\nvoid broken(\n" : frag;
        run.copies = {{VEXEL_DEMO_DIR "/data/music/morvelin.ogg", "data/music/track.ogg"},
                      {VEXEL_DEMO_DIR "/data/textures/star.png", "data/textures/star.png"},
                      {(folder / "huge.png"), "data/textures/huge.png"},
                      {VEXEL_DEMO_DIR "/data/shaders/standard.330.vert", "data/shaders/standard.330.vert"}};
        const auto display = c.env.find("DISPLAY");
        run.ownDisplay = display == c.env.end();
        for (const auto& [name, value] : c.env) {
            if (value == "-") {
                run.unsetEnv.push_back(name);
            } else {
                run.env[name] = value;
            }
        }
        run.timeout = 60s;
        const RunResult result = c.morvelin ? VexelTest::RunMorvelin(run) : VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
        EXPECT_EQ(result.exitCode, c.status) << result.err;
        const Lines lines = c.args == check ? result.OutLines() : result.ErrLines();
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(c.line, 0) == 0; }))
            << c.line << "\n" << result.out << result.err;
        // Nothing named as a display: nothing else is tried, and that line is all.
        if (display != c.env.end() && (display->second == "-" || display->second.empty())) {
            EXPECT_EQ(result.ErrLines().size(), 1u) << result.err;
        }
    }
}

// A signal while the box is open ends morvelin as closing the box does, and
// the box goes with it; killed outright, it takes the box along too.
TEST(BadInputE2ETest, ASignalWhileTheMessageBoxIsOpenEndsMorvelinAndTheBox)
{
    for (const int signal : {SIGTERM, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(signal);
        ProgramRun run;
        run.files["morvelin.xml"] = "<Halvorn-demo-settings>\n<name>x</nam>\n</Halvorn-demo-settings>\n";
        run.timeout = 30s;
        bool shown = false;
        bool left = true;
        run.whileRunning = [&](VexelTest::RunningProgram& program) {
            const auto boxOpen = [&program]() {
                return program.Shell("xwininfo -root -tree").find("\"XML Parsing error\"") != std::string::npos;
            };
            for (int i = 0; i < 200 && !shown && !program.HasExited(); ++i) {
                std::this_thread::sleep_for(100ms);
                shown = boxOpen();
            }
            program.Signal(signal);
            for (int i = 0; i < 60 && left; ++i) {
                std::this_thread::sleep_for(100ms);
                left = !program.HasExited() || boxOpen();
            }
        };
        const RunResult result = VexelTest::RunMorvelin(run);
        EXPECT_TRUE(shown);
        EXPECT_FALSE(left);
        EXPECT_EQ(signal == SIGKILL ? result.signal : result.exitCode, signal == SIGKILL ? SIGKILL : 255) << result.err;
        EXPECT_TRUE(VexelTest::ContainsSequence(result.ErrLines(), {"XML Parsing error inside file 'morvelin.xml'.",
                                                                    "Error: Unmatched end tag", "At line 2, column 14."}));
    }
}
