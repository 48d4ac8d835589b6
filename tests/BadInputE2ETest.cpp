#include "HugePng.h"
#include "ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ProgramRun;
using VexelTest::RunResult;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

bool AnyStartsWith(const Lines& lines, const std::string& start)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.rfind(start, 0) == 0; });
}

// A demo in show/ whose one picture part is fine but for what broken does to
// its files; morvelin plays it from inside the folder.
ProgramRun BrokenDemo(const std::string& broken, const std::string& program)
{
    const std::string root = program == "morvelin" ? "" : "show/";
    ProgramRun run;
    run.files[root + (program == "morvelin" ? "morvelin.xml" : "demo.xml")] =
        "<Halvorn-demo-settings><soundtrack file=\"data/music/track.ogg\"/><demoparts>\n"
        "<part start=\"0\" end=\"0.3\" name=\"pic\" class=\"lib.Image\" priority=\"0\"><param image=\"" +
        std::string(broken == "picture" ? "huge.png" : "star.png") +
        "\"/></part>\n</demoparts></Halvorn-demo-settings>\n";
    run.copies = {{VEXEL_DEMO_DIR "/data/music/morvelin.ogg", root + "data/music/track.ogg"},
                  {VEXEL_DEMO_DIR "/data/textures/star.png", root + "data/textures/star.png"},
                  {VEXEL_DEMO_DIR "/data/shaders/standard.330.vert", root + "data/shaders/standard.330.vert"}};
    const std::string frag = VexelTest::ReadFile(VEXEL_DEMO_DIR "/data/shaders/standard.330.frag");
    run.files[root + "data/shaders/standard.330.frag"] = broken == "shader" ? frag + "\nvoid broken(\n" : frag;
    run.timeout = 60s;
    return run;
}

} // namespace

// What --check calls an error stops the player's start and a capture, with the
// same located line; morvelin keeps its own way with each.
TEST(BadInputE2ETest, WhatTheCheckRefusesNeitherPlaysNorCaptures)
{
    struct Case
    {
        std::string broken;
        std::string program;
        Lines args;
        int status;
        std::string line;
    };
    const std::string frag = "show/data/shaders/standard.330.frag:";
    const std::string notCompiled =
        "Shader::CompileAndAddShaderFromFile(): File \"data/shaders/standard.330.frag\" could not be compiled!";
    const std::string tooLarge = "show/demo.xml:2:76: error: picture \"data/textures/huge.png\" is 27000x27000, larger "
                                 "than the GL maximum texture size ";
    VexelTest::TempFolder pictures;
    const fs::path huge = pictures.Path() / "huge.png";
    VexelTest::WriteHugePngHeader(huge.string(), 27000, 27000, false);
    const std::vector<Case> cases = {
        {"shader", "check", {"--check", "show/demo.xml"}, 1, frag},
        {"shader", "capture", {"--capture", "out/%d.png", "--size", "16x8", "show/demo.xml"}, 1, frag},
        {"shader", "play", {"--window", "64x36", "show/demo.xml"}, 1, frag},
        // Reported, and it plays on: its pictures are then white.
        {"shader", "morvelin", {}, 0, notCompiled},
        {"picture", "check", {"--check", "show/demo.xml"}, 1, tooLarge},
        {"picture", "capture", {"--capture", "out/%d.png", "--size", "16x8", "show/demo.xml"}, 1, tooLarge},
        {"picture", "play", {"--window", "64x36", "show/demo.xml"}, 1, tooLarge},
        {"picture", "morvelin", {}, 1, "FATAL: Cannot load image! (src/main.cpp:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.broken + " " + c.program);
        ProgramRun run = BrokenDemo(c.broken, c.program);
        run.args = c.args;
        if (c.broken == "picture") {
            run.copies.push_back(
                {huge.string(), (c.program == "morvelin" ? "" : "show/") + std::string("data/textures/huge.png")});
        }
        const RunResult result =
            c.program == "morvelin" ? VexelTest::RunMorvelin(run) : VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
        EXPECT_EQ(result.exitCode, c.status) << result.err;
        const Lines lines = c.program == "check" ? result.OutLines() : result.ErrLines();
        EXPECT_TRUE(AnyStartsWith(lines, c.line)) << c.line << "\n" << result.out << result.err;
        if (c.program != "morvelin" && c.program != "check") {
            EXPECT_FALSE(AnyStartsWith(result.ErrLines(), "captured")) << result.err;
        }
    }
}

// Without a display neither program plays unseen for ever; with one SDL
// cannot start on, SDL's reason follows.
TEST(BadInputE2ETest, WithoutADisplayBothProgramsEndAtOnceSayingWhy)
{
    const std::string fatal = " (src/main.cpp:21, int main(int, char**))";
    const std::string hint = "; --check and --capture work without one";
    const std::string sdl = "Could not initialize SDL with flags (SDL_INIT_TIMER, SDL_INIT_VIDEO, )";
    struct Case
    {
        std::string program;
        std::map<std::string, std::string> env;
        Lines lastLines;
    };
    const std::vector<Case> cases = {
        {"morvelin", {}, {"FATAL: No display could be opened: DISPLAY is not set" + fatal}},
        {"morvelin", {{"DISPLAY", ""}}, {"FATAL: No display could be opened: DISPLAY is empty" + fatal}},
        {"morvelin",
         {{"DISPLAY", ":4217"}},
         {"FATAL: No display could be opened: no X server at DISPLAY \":4217\"" + fatal}},
        {"player", {}, {"vexel-player: error: no display could be opened: DISPLAY is not set" + hint}},
        {"player",
         {{"DISPLAY", ":4217"}},
         {"vexel-player: error: no display could be opened: no X server at DISPLAY \":4217\"" + hint}},
        {"morvelin",
         {{"SDL_VIDEODRIVER", "no-such-driver"}},
         {"FATAL: " + sdl + fatal, "  SDL: no-such-driver not available"}},
        {"player",
         {{"SDL_VIDEODRIVER", "no-such-driver"}},
         {"vexel-player: error: " + sdl, "  SDL: no-such-driver not available"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + testing::PrintToString(c.env));
        ProgramRun run;
        run.files["morvelin.xml"] = "<Halvorn-demo-settings><soundtrack file=\"none.ogg\"/></Halvorn-demo-settings>\n";
        run.env = c.env;
        run.ownDisplay = c.env.count("SDL_VIDEODRIVER") != 0;
        if (!run.ownDisplay) {
            run.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY"};
        }
        run.args = c.program == "player" ? Lines{"--mute", "morvelin.xml"} : Lines{};
        run.timeout = 30s;
        const RunResult result =
            c.program == "morvelin" ? VexelTest::RunMorvelin(run) : VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitCode, 1) << result.err;
        const Lines lines = result.ErrLines();
        ASSERT_GE(lines.size(), c.lastLines.size()) << result.err;
        EXPECT_EQ(Lines(lines.end() - static_cast<long>(c.lastLines.size()), lines.end()), c.lastLines) << result.err;
        // SDL's own drivers may have their say when a display is named but
        // not there; without one named, nothing else is tried.
        if (c.env.count("SDL_VIDEODRIVER") == 0 && (c.env.count("DISPLAY") == 0 || c.env.at("DISPLAY").empty())) {
            EXPECT_EQ(lines.size(), c.lastLines.size()) << result.err;
        }
    }
}

// A signal while the box is open ends morvelin as closing the box does, and
// the box goes with it; killed outright, it takes the box along too.
TEST(BadInputE2ETest, ASignalWhileTheMessageBoxIsOpenEndsMorvelinAndTheBox)
{
    struct Case
    {
        int signal;
        int status;
    };
    for (const Case c : {Case{SIGTERM, 255}, Case{SIGINT, 255}, Case{SIGHUP, 255}, Case{SIGKILL, -1}}) {
        SCOPED_TRACE(strsignal(c.signal));
        ProgramRun run;
        run.files["morvelin.xml"] = "<Halvorn-demo-settings>\n<name>x</nam>\n</Halvorn-demo-settings>\n";
        run.timeout = 30s;
        bool boxShown = false;
        bool boxLeft = true;
        run.whileRunning = [&](VexelTest::RunningProgram& program) {
            const auto boxOpen = [&program]() {
                return program.Shell("xwininfo -root -tree").find("\"XML Parsing error\"") != std::string::npos;
            };
            for (int i = 0; i < 200 && !boxShown && !program.HasExited(); ++i) {
                boxShown = boxOpen();
                std::this_thread::sleep_for(100ms);
            }
            program.Signal(c.signal);
            for (int i = 0; i < 100 && !program.HasExited(); ++i) {
                std::this_thread::sleep_for(50ms);
            }
            // The box's window closes with its process.
            for (int i = 0; i < 40 && boxLeft; ++i) {
                std::this_thread::sleep_for(50ms);
                boxLeft = boxOpen();
            }
        };
        const RunResult result = VexelTest::RunMorvelin(run);
        EXPECT_TRUE(boxShown);
        EXPECT_FALSE(result.timedOut);
        if (c.status >= 0) {
            EXPECT_EQ(result.exitCode, c.status) << result.err;
        } else {
            EXPECT_EQ(result.signal, c.signal);
        }
        EXPECT_FALSE(boxLeft);
        EXPECT_TRUE(
            VexelTest::ContainsSequence(result.ErrLines(), {"XML Parsing error inside file 'morvelin.xml'.",
                                                            "Error: Unmatched end tag", "At line 2, column 14."}))
            << result.err;
    }
}

// Where the demo ends is known once its parts are: a loop wholly past it is
// refused then, one that runs past it ends with it.
TEST(BadInputE2ETest, ALoopPastTheEndSaysSo)
{
    struct Case
    {
        std::string loop;
        int status;
        std::string line;
    };
    const Case cases[] = {
        {"20-30", 2, "vexel-player: --loop: the demo ends at 0:02.000, before the loop starts, not \"20-30\""},
        {"1-30", 0, "loop 0:01.000-0:02.000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.loop);
        ProgramRun run;
        run.files["demo.xml"] = "<Halvorn-demo-settings><soundtrack file=\"none.ogg\"/><demoparts><part start=\"0\" "
                                "end=\"2\" name=\"a\" class=\"lib.ClearScreen\" priority=\"0\"/></demoparts>"
                                "</Halvorn-demo-settings>\n";
        run.args = {"--mute", "--window", "64x36", "--loop", c.loop, "demo.xml"};
        run.timeout = 30s;
        run.whileRunning = [](VexelTest::RunningProgram& program) {
            if (program.WaitForOutput("ready at", 20s)) {
                program.Key("Escape");
            }
        };
        const RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
        EXPECT_EQ(result.exitCode, c.status) << result.err;
        const Lines lines = c.status == 0 ? result.OutLines() : result.ErrLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end()) << result.out << result.err;
    }
}
