#include "DemoData.h"
#include "ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::IndexOf;
using VexelTest::ProgramRun;
using VexelTest::RunningProgram;
using VexelTest::RunProgram;
using VexelTest::RunResult;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

const std::string Soundtrack = "data/music/morvelin.ogg";

std::string Settings(const std::string& parts, const std::string& extra = "")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Halvorn-demo-settings>\n  <name>E2E</name>\n"
           "  <version>1</version>\n  <soundtrack file=\"" +
           Soundtrack + "\"/>\n  " + extra + "\n  <demoparts>\n" + parts + "  </demoparts>\n</Halvorn-demo-settings>\n";
}

std::string Clear(double start, double end, const std::string& name, const std::string& color)
{
    return "<part start=\"" + std::to_string(start) + "\" end=\"" + std::to_string(end) + "\" name=\"" + name +
           "\" class=\"lib.ClearScreen\" priority=\"0\"><param color=\"" + color + "\"/></part>\n";
}

// The settings in a folder below the working folder, with the music beside them.
ProgramRun PlayerRun(const std::string& settings)
{
    ProgramRun run;
    run.files["show/player.xml"] = settings;
    run.copies.push_back({VEXEL_DEMO_DIR "/" + Soundtrack, "show/" + Soundtrack});
    run.timeout = 60s;
    return run;
}

RunResult RunPlayer(const ProgramRun& run)
{
    return RunProgram(VEXEL_PLAYER_EXE, run);
}

// A folder of the test's own, so it can edit the files while the player runs.
class PlayerReloadE2ETest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VexelTest::CopyDemoData(mFolder);
        fs::copy(VEXEL_DEMO_DIR "/data/textures/star.png", mFolder / "data/textures/star.png");
    }

    // Editors save in place or by renaming a new file over the old one.
    void Save(const std::string& relative, const std::string& text, bool byRename)
    {
        const fs::path target = mFolder / relative;
        const fs::path written = byRename ? fs::path(target.string() + ".new") : target;
        std::ofstream(written, std::ios::binary | std::ios::trunc) << text;
        if (byRename) {
            fs::rename(written, target);
        }
    }

    VexelTest::TempFolder mTemp;
    const fs::path& mFolder = mTemp.Path();
};

// A red screen with a small star in a corner, or the colour given.
std::string ReloadSettings(const std::string& color = "255 0 0", const std::string& image = "star.png",
                           const std::string& ease = "linear")
{
    return "<Halvorn-demo-settings>\n  <soundtrack file=\"data/music/track.ogg\"/>\n  <demoparts>\n"
           "    <part start=\"0\" end=\"60\" name=\"sky\" class=\"lib.ClearScreen\" priority=\"0\">\n"
           "      <param color=\"" +
           color +
           "\"/>\n    </part>\n"
           "    <part start=\"0\" end=\"60\" name=\"star\" class=\"lib.Image\" priority=\"1\">\n"
           "      <param image=\"" +
           image +
           "\" relativeX=\"0.1\" relativeY=\"0.1\" relativeWidth=\"0.1\"/>\n"
           "      <animate key=\"rotate\" times=\"0 60\" values=\"0 360\" ease=\"" +
           ease +
           "\"/>\n"
           "    </part>\n  </demoparts>\n</Halvorn-demo-settings>\n";
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

} // namespace

TEST(PlayerE2ETest, UsageErrorsExitTwoAndUnusableSettingsExitOneWithoutAWindow)
{
    const std::string hint = "Try 'vexel-player --help' for more information.";
    const std::string good = Settings(Clear(0, 1, "a", "1 2 3"));
    std::string deep = "<Halvorn-demo-settings>\n";
    for (int i = 0; i < 1001; ++i) {
        deep += "<a>";
    }
    struct Case
    {
        Lines args;
        std::string settings;
        int status;
        Lines err;
    };
    const std::vector<Case> cases = {
        {{"--frobnicate"}, good, 2, {"vexel-player: unknown option \"--frobnicate\"", hint}},
        {{"--window", "0x540"},
         good,
         2,
         {"vexel-player: --window: expected WxH in pixels, as 960x540, not \"0x540\"", hint}},
        {{"--window", "wide"},
         good,
         2,
         {"vexel-player: --window: expected WxH in pixels, as 960x540, not \"wide\"", hint}},
        {{"show/player.xml", "--loop"}, good, 2, {"vexel-player: --loop: missing value", hint}},
        {{"--start", "9:1"},
         good,
         2,
         {"vexel-player: --start: BAR:BEAT needs a tempo in the settings file, not \"9:1\"", hint}},
        {{"--loop", "3:1-2:1"},
         Settings(Clear(0, 1, "a", "1 2 3"), "<tempo bpm=\"120\"/>"),
         2,
         {"vexel-player: --loop: expected FROM-TO with FROM before TO, not \"3:1-2:1\"", hint}},
        {{"show/missing.xml"}, good, 1, {"show/missing.xml: error: no such settings file"}},
        {{},
         "<Halvorn-demo-settings>\n  <name>x</nam>\n</Halvorn-demo-settings>\n",
         1,
         {"show/player.xml:2:16: error: unmatched end tag"}},
        {{},
         "<Halvorn-demo-settings>\n  <demoparts>\n</Halvorn-demo-settings>\n",
         1,
         {"show/player.xml:3:25: error: unmatched end tag"}},
        {{}, "<other/>\n", 1, {"show/player.xml: error: expected the document element <Halvorn-demo-settings>"}},
        {{},
         "<?xml version=\"1.0\"?>\n",
         1,
         {"show/player.xml: error: the file has no document element <Halvorn-demo-settings>"}},
        {{}, deep, 1, {"show/player.xml:2:2999: error: nested deeper than 1000 elements"}},
        // Options are checked before any file is read, and none counts twice.
        {{"show/missing.xml", "--start", "soon"},
         good,
         2,
         {"vexel-player: --start: expected seconds (12.5) or BAR:BEAT (9:1), not \"soon\"", hint}},
        {{"--start", "1", "--start", "2"}, good, 2, {"vexel-player: --start: given more than once", hint}},
        {{"--capture", "o.mp4", "--fps", "10", "--fps=20"},
         good,
         2,
         {"vexel-player: --fps: given more than once", hint}},
        {{"--check", "--start", "1"}, good, 2, {"vexel-player: --start: not with --check", hint}},
        {{"--paused", "--check"}, good, 2, {"vexel-player: --paused: not with --check", hint}},
    };
    for (const Case& c : cases) {
        ProgramRun run = PlayerRun(c.settings);
        run.args = c.args;
        if (c.args.empty() || c.args[0].rfind("show/", 0) != 0) {
            run.args.push_back("show/player.xml");
        }
        // No display at all: a window opened by mistake would fail differently.
        run.ownDisplay = false;
        run.unsetEnv = {"DISPLAY"};
        SCOPED_TRACE(testing::PrintToString(run.args));
        const RunResult result = RunPlayer(run);
        EXPECT_EQ(result.exitCode, c.status) << result.err;
        EXPECT_EQ(result.ErrLines(), c.err);
        EXPECT_EQ(result.out, "");
    }

    ProgramRun help = PlayerRun(good);
    help.args = {"--help"};
    const RunResult shown = RunPlayer(help);
    EXPECT_EQ(shown.exitCode, 0);
    ASSERT_FALSE(shown.OutLines().empty());
    EXPECT_EQ(
        shown.OutLines()[0],
        "Usage: vexel-player [options] [SETTINGS]      play SETTINGS (default: morvelin.xml in the current folder)");
    EXPECT_EQ(shown.OutLines()[1],
              "   or: vexel-player --capture OUT [--quality Q] [--fps N] [--size WxH] [--from TIME] [--to TIME]");
    EXPECT_EQ(shown.OutLines().size(), 38u);
}

TEST(PlayerE2ETest, AFailedPartEntryIsReportedWithStatusOne)
{
    ProgramRun run = PlayerRun(Settings("<part end=\"1\" name=\"a\" class=\"lib.ClearScreen\" priority=\"0\"/>"));
    run.args = {"show/player.xml", "--mute", "--quiet"};
    const RunResult result = RunPlayer(run);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    ASSERT_FALSE(result.ErrLines().empty());
    EXPECT_EQ(result.ErrLines().back(), "show/player.xml:8:1: error: the part has no start attribute");
    EXPECT_EQ(result.out, "");
}

TEST(PlayerE2ETest, KeysSeekPauseLoopAndQuit)
{
    // Two-second bars; a colour a part, so the screen shows where the timeline is.
    ProgramRun run = PlayerRun(Settings(Clear(0, 1, "red", "255 0 0") + Clear(1, 2, "green", "0 255 0") +
                                            Clear(2, 4, "blue", "0 0 255") + Clear(4, 8, "white", "255 255 255"),
                                        "<tempo bpm=\"120\" beatsPerBar=\"4\" offset=\"0\"/>"));
    run.args = {"show/player.xml", "--paused", "--window", "1280x720"};
    std::string title;
    bool redrawn = false;
    run.whileRunning = [&](RunningProgram& program) {
        if (!program.WaitForLine("ready at 0:00.000, paused")) {
            return;
        }
        program.Key("Right");
        EXPECT_TRUE(program.WaitForLine("seek to 0:01.000"));
        // Paused, the picture still follows a seek.
        redrawn = program.CentreBecomes(0, 255, 0);
        std::this_thread::sleep_for(300ms);
        title = program.Shell("xdotool search --name 'E2E v.1' getwindowname");
        program.Key("shift+Right");
        EXPECT_TRUE(program.WaitForLine("seek to 0:03.000"));
        program.Key("Next");
        EXPECT_TRUE(program.WaitForLine("seek to 0:04.000"));
        program.Key("Prior");
        EXPECT_TRUE(program.WaitForLine("seek to 0:02.000"));
        program.Key("shift+Left");
        EXPECT_TRUE(program.WaitForLine("seek to 0:00.000"));
        program.Key("l");
        EXPECT_TRUE(program.WaitForLine("loop 0:00.000-0:02.000"));
        program.Key("Right");
        EXPECT_TRUE(program.WaitForLine("seek to 0:01.000", 2));
        program.Key("Home");
        EXPECT_TRUE(program.WaitForLine("seek to 0:00.000", 2));
        program.Key("l");
        EXPECT_TRUE(program.WaitForLine("loop off"));
        program.Key("space");
        EXPECT_TRUE(program.WaitForLine("playing from 0:00.000"));
        program.Key("space");
        program.Key("q");
    };
    const RunResult result = RunPlayer(run);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(redrawn);
    EXPECT_TRUE(std::regex_search(title, std::regex("^E2E v\\.1 - 0:01\\.000 \\| bar 1:3 \\| [0-9]+ fps \\| paused\n")))
        << title;
    EXPECT_TRUE(std::regex_search(result.out, std::regex("\npaused at 0:0[0-9]\\.[0-9]{3}\n"))) << result.out;
}

TEST(PlayerE2ETest, TheBundledDemoLoopsWithItsMusicFromAnotherFolder)
{
    ProgramRun run;
    run.args = {VEXEL_DEMO_DIR "/morvelin.xml", "--start", "30", "--loop", "30-32", "--window", "960x540"};
    run.timeout = 90s;
    run.whileRunning = [&](RunningProgram& program) {
        if (program.WaitForLine("ready at 0:30.000")) {
            EXPECT_TRUE(program.WaitForLine("seek to 0:30.000", 2));
        }
        program.Key("Escape");
    };
    const RunResult result = RunPlayer(run);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    // Had the music not wrapped with the timeline, they would be seconds apart.
    std::smatch drift;
    ASSERT_TRUE(std::regex_search(
        result.out, drift, std::regex("\ndrift to the music over [0-9]+ frames: mean [0-9.]+ ms, max ([0-9.]+) ms\n")))
        << result.out;
    EXPECT_LT(std::stod(drift[1]), 500.0);
}

TEST(PlayerE2ETest, MorvelinPlaysATempoAsIfItWereNotThere)
{
    std::vector<Lines> logs;
    for (const std::string tempo : {"", "<tempo bpm=\"128\" beatsPerBar=\"3\" offset=\"0.25\"/>"}) {
        ProgramRun run;
        // Parts a second long: the frames each part list is printed in must not depend on a
        // slow first frame on a loaded machine (tenths of a second did, decoding 90 s of music).
        run.files["morvelin.xml"] = Settings(Clear(0, 1, "a", "1 2 3") + Clear(0.5, 1.5, "b", "4 5 6"), tempo);
        run.copies.push_back({VEXEL_DEMO_DIR "/" + Soundtrack, Soundtrack});
        run.timeout = 40s;
        const RunResult result = VexelTest::RunMorvelin(run);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        // Times and running times depend on the frames; everything else must match.
        Lines kept;
        for (const std::string& line : result.OutLines()) {
            if (line.find("Time now") == std::string::npos && line.find("running time=") == std::string::npos) {
                kept.push_back(line);
            }
        }
        logs.push_back(kept);
    }
    EXPECT_GT(logs[0].size(), 20u);
    EXPECT_EQ(logs[0], logs[1]);
}

TEST(PlayerE2ETest, AClickOnTheOverlaysStripSeeks)
{
    // One lane: the strip's bars lie 16 to 7 pixels above the window's bottom,
    // its 1264 pixels from x = 8 spanning the 8 s of the demo: x = 324 is 2 s.
    ProgramRun run = PlayerRun(Settings(Clear(0, 8, "grey", "100 100 100")));
    run.args = {"show/player.xml", "--paused", "--mute"};
    bool seeked = false;
    run.whileRunning = [&](RunningProgram& program) {
        if (program.WaitForLine("ready at 0:00.000, paused")) {
            // The overlay sees the pointer in one frame and the click in a
            // later one; a loaded machine may lose the first click to that.
            program.Shell("xdotool mousemove 324 708");
            for (int attempt = 0; attempt < 3 && !seeked; ++attempt) {
                std::this_thread::sleep_for(300ms);
                program.Shell("xdotool click 1");
                seeked = program.WaitForLine("seek to 0:02.000", 1, 80);
            }
        }
        program.Key("Escape");
    };
    const RunResult result = RunPlayer(run);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(seeked) << result.out;
}

TEST_F(PlayerReloadE2ETest, EachFailureKeepsTheLastGoodTimelineAndTheFixedFileLoads)
{
    const std::string settings = (mFolder / "player.xml").string();
    const std::string frag = "data/shaders/standard.330.frag";
    const std::string goodFrag = VexelTest::ReadFile(VEXEL_DEMO_DIR "/" + frag);
    Save("player.xml", ReloadSettings(), false);

    // Each broken file would also turn the screen blue, were it taken. Every
    // error of the check stops a reload alike, so one of each kind is enough.
    const std::string blue = ReloadSettings("0 0 255");
    struct Case
    {
        std::string file;
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"player.xml", Replace(blue, "    </part>\n  </demoparts>", "  </demoparts>"),
         ":10:15: error: not well-formed XML: Unmatched end tag"},
        {"player.xml",
         Replace(Replace(blue, "<Halvorn-demo-settings>", "<demo>"), "</Halvorn-demo-settings>", "</demo>"),
         ":1:1: error: the document element is <demo>, not <Halvorn-demo-settings>"},
        {"player.xml", Replace(blue, "lib.ClearScreen", "lib.Clear"), ":4:41: error: unknown part class \"lib.Clear\""},
        {"player.xml", ReloadSettings("0 0"),
         ":5:14: error: color \"0 0\" has no whole number for blue: write 'r g b' with values 0-255"},
        {"player.xml", ReloadSettings("0 0 255", "gone.png"),
         ":8:14: error: picture \"data/textures/gone.png\" not found"},
        {"player.xml", ReloadSettings("0 0 255", "star.png", "bouncy"),
         ":9:57: error: part \"star\": animate \"rotate\" has unknown ease \"bouncy\" (step, linear, smooth, in or out)"},
        {frag, Replace(goodFrag, "void main", "void main broken"), ""},
    };

    ProgramRun run;
    run.args = {settings, "--paused", "--start", "1"};
    run.timeout = 90s;
    std::vector<std::string> seen;
    bool allRed = true;
    bool green = false;
    bool pictureSeen = false;
    run.whileRunning = [&](RunningProgram& program) {
        if (!program.WaitForLine("ready at 0:01.000, paused", 1)) {
            return;
        }
        allRed = program.CentreBecomes(255, 0, 0);
        for (std::size_t i = 0; i < cases.size(); ++i) {
            Save(cases[i].file, cases[i].text, i % 2 == 1);
            const bool failed = program.WaitForLine("reload failed: the last good timeline plays on", int(i) + 1);
            seen.push_back(failed ? "failed" : "not seen");
            allRed = program.CentreBecomes(255, 0, 0) && allRed;
        }
        Save(frag, goodFrag, true);
        Save("player.xml", ReloadSettings("0 255 0"), true);
        green = program.WaitForLine("reloaded at 0:01.000", 1) && program.CentreBecomes(0, 255, 0);
        // A picture saved over is seen too.
        fs::copy_file(mFolder / "data/textures/palette.bmp", mFolder / "data/textures/star.png",
                      fs::copy_options::overwrite_existing);
        pictureSeen = program.WaitForLine("reload failed: the last good timeline plays on", int(cases.size()) + 1) &&
                      program.CentreBecomes(0, 255, 0);
        program.Key("Escape");
    };
    const RunResult result = RunPlayer(run);

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(seen, std::vector<std::string>(cases.size(), "failed"));
    EXPECT_TRUE(allRed);
    EXPECT_TRUE(green);
    EXPECT_TRUE(pictureSeen);
    const Lines errors = result.ErrLines();
    EXPECT_NE(IndexOf(errors, settings + ":8:14: error: picture \"data/textures/star.png\" is not true-colour (8 bits "
                                         "per pixel)"),
              -1);
    for (const Case& c : cases) {
        if (!c.error.empty()) {
            EXPECT_NE(IndexOf(errors, settings + c.error), -1) << c.error << "\n" << result.err;
        }
    }
    // The shader's own file and the driver's line.
    const std::string shaderError = (mFolder / frag).string() + ":";
    EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [&](const std::string& line) {
        return line.rfind(shaderError, 0) == 0 && line.find(": error: ") != std::string::npos;
    })) << result.err;
}
