#include "ProgramRunner.h"
#include "TestSounds.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ProgramRun;
using VexelTest::RunResult;
using Lines = std::vector<std::string>;

namespace {

RunResult Analyze(const std::vector<std::string>& args, const std::map<std::string, std::string>& files)
{
    ProgramRun run;
    run.args = {"--analyze"};
    run.args.insert(run.args.end(), args.begin(), args.end());
    run.files = files;
    run.timeout = 60s;
    // No window and no display are needed.
    run.ownDisplay = false;
    run.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY"};
    return VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
}

std::string Settings(const std::string& soundtrack)
{
    return "<Halvorn-demo-settings>\n  " + soundtrack + "\n  <demoparts/>\n</Halvorn-demo-settings>\n";
}

} // namespace

// Tolerances: a beat a hair off the written tempo drifts by a frame (1/60 s)
// over a two-minute piece at 0.1 bpm, so the tempo must be within 0.05; the
// attacks are placed to the sample, so the downbeat within 5 ms.
TEST(TempoReportE2ETest, ClickTracksOfKnownTempoGiveTheirTempoElement)
{
    const struct
    {
        double bpm;
        double offset;
        const char* file;
    } tracks[] = {{60, 0.0, "click60.wav"},
                  {120, 0.25, "click120.wav"},
                  {128, 1.0, "click128.wav"},
                  {174, 0.1, "show/data/music/click174.wav"}};
    for (const auto& track : tracks) {
        SCOPED_TRACE(track.file);
        std::map<std::string, std::string> files = {
            {track.file, VexelTest::WavBytes(VexelTest::ClickTrack(track.bpm, 4, track.offset, 50.0), 1, 44100)}};
        std::string given = track.file;
        if (given.rfind("show/", 0) == 0) {
            // Through a settings file, whose soundtrack is found from its folder.
            files["show/demo.xml"] = Settings("<soundtrack file=\"data/music/click174.wav\"/>");
            given = "show/demo.xml";
        }
        const RunResult result = Analyze({given}, files);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        const Lines lines = result.OutLines();
        ASSERT_GE(lines.size(), 6u) << result.out;
        EXPECT_EQ(lines[0], std::string(track.file) + ": 50.000 s");
        std::smatch tempo;
        ASSERT_TRUE(std::regex_match(lines[3], tempo,
                                     std::regex("<tempo bpm=\"([0-9.]+)\" beatsPerBar=\"4\" offset=\"([0-9.]+)\"/>")))
            << lines[3];
        EXPECT_NEAR(std::stod(tempo[1]), track.bpm, 0.05);
        EXPECT_NEAR(std::stod(tempo[2]), track.offset, 0.005);
        EXPECT_EQ(lines[1], "tempo: " + tempo[1].str() + " bpm");
        char downbeat[32];
        std::snprintf(downbeat, sizeof downbeat, "first downbeat: 0:%06.3f", std::stod(tempo[2]));
        EXPECT_EQ(lines[2], downbeat);
        EXPECT_EQ(lines[4], "strongest onsets (time, bar:beat, strength):");
        // The accented clicks are the strongest: every bar's first beat, and there
        // are more than 12 bars.
        EXPECT_EQ(lines.size(), 5u + 12u);
        for (std::size_t i = 5; i < lines.size(); ++i) {
            EXPECT_TRUE(std::regex_match(lines[i], std::regex("  [0-9]:[0-9]{2}\\.[0-9]{3}  [0-9]+:1\\.00 +  1\\.00")))
                << lines[i];
        }
    }
}

TEST(TempoReportE2ETest, WhatCannotBeAnalysedIsSaid)
{
    const std::string noFile = ": cannot open it: No such file or directory";
    const struct
    {
        std::vector<std::string> args;
        // The file written as the first argument names, or as morvelin.xml.
        std::string content;
        int status;
        std::string error;
    } cases[] = {
        {{"none.ogg"}, "", 1, "analysis failed: cannot read the soundtrack none.ogg" + noFile},
        {{"notes.txt"},
         "not music\n",
         1,
         "analysis failed: cannot read the soundtrack notes.txt: cannot open it: Invalid data found when processing input"},
        // A device or a pipe would be read for ever.
        {{"/dev/null"}, "", 1, "analysis failed: cannot read the soundtrack /dev/null: it is not a regular file"},
        {{"none.xml"}, "", 1, "none.xml: error: no such settings file"},
        {{"show/demo.xml"},
         Settings("<soundtrack/>"),
         1,
         "show/demo.xml: error: the file has no soundtrack element with a file attribute"},
        {{"show/demo.xml"},
         Settings("<soundtrack file=\"data/gone.ogg\"/>"),
         1,
         "analysis failed: cannot read the soundtrack show/data/gone.ogg" + noFile},
        {{},
         "<Halvorn-demo-settings>\n  <soundtrack>\n</Halvorn-demo-settings>\n",
         1,
         "morvelin.xml:3:25: error: unmatched end tag"},
        {{"--check", "a.xml"}, "", 2, "vexel-player: --analyze: not with --check"},
        {{"--capture", "a.mp4"}, "", 2, "vexel-player: --analyze: not with --capture"},
        {{"--start", "3", "a.wav"}, "", 2, "vexel-player: --start: not with --analyze"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(no file)" : c.args.front());
        std::map<std::string, std::string> files;
        if (!c.content.empty()) {
            files[c.args.empty() ? "morvelin.xml" : c.args.front()] = c.content;
        }
        const RunResult result = Analyze(c.args, files);
        EXPECT_EQ(result.exitCode, c.status);
        EXPECT_EQ(result.out, "");
        Lines expected = {c.error};
        if (c.status == 2) {
            expected.push_back("Try 'vexel-player --help' for more information.");
        }
        EXPECT_EQ(result.ErrLines(), expected);
    }
    // Silence is read, and has neither.
    const RunResult quiet =
        Analyze({"quiet.wav"}, {{"quiet.wav", VexelTest::WavBytes(VexelTest::Samples(44100), 1, 44100)}});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.OutLines(), (Lines{"quiet.wav: 1.000 s", "tempo: no steady beat found", "onsets: none found"}));
}
