#include "ProgramRunner.h"
#include "TempFolder.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ProgramRun;
using VexelTest::RunResult;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

const std::string Head = "<Halvorn-demo-settings>\n  <soundtrack file=\"data/music/tone.wav\"/>\n  <demoparts>\n";
const std::string Tail = "  </demoparts>\n</Halvorn-demo-settings>\n";

// A demo folder of the guide's examples: their sound and shaders.
ProgramRun DemoRun(const std::string& parts, const std::string& folder = "show/")
{
    ProgramRun run;
    run.files[folder + "morvelin.xml"] = Head + parts + Tail;
    run.copies.push_back({VEXEL_SOURCE_DIR "/docs/examples/data/music/tone.wav", folder + "data/music/tone.wav"});
    run.copies.push_back({VEXEL_DEMO_DIR "/data/shaders", folder + "data/shaders"});
    run.timeout = 60s;
    return run;
}

// One PNG frame, as the pixels whose red passes half way.
struct Frame
{
    int width = 0;
    std::vector<bool> ink;

    explicit Frame(const fs::path& png)
    {
        SDL_Surface* loaded = IMG_Load(png.c_str());
        SDL_Surface* surface = loaded ? SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB24, 0) : nullptr;
        if (surface == nullptr) {
            ADD_FAILURE() << "cannot read " << png << ": " << IMG_GetError();
            return;
        }
        width = surface->w;
        for (int y = 0; y < surface->h; ++y) {
            for (int x = 0; x < width; ++x) {
                ink.push_back(static_cast<const unsigned char*>(surface->pixels)[y * surface->pitch + x * 3] > 128);
            }
        }
        SDL_FreeSurface(surface);
        SDL_FreeSurface(loaded);
    }

    // The letters between two rows, left to right: each one's first column and first row.
    std::vector<std::pair<int, int>> Letters(int top, int bottom) const
    {
        std::vector<std::pair<int, int>> letters;
        bool inside = false;
        for (int x = 0; x < width; ++x) {
            int first = -1;
            for (int y = top; y < bottom && first < 0; ++y) {
                first = ink[static_cast<size_t>(y * width + x)] ? y : -1;
            }
            if (first >= 0 && !inside) {
                letters.push_back({x, first});
            } else if (first >= 0) {
                letters.back().second = std::min(letters.back().second, first);
            }
            inside = first >= 0;
        }
        return letters;
    }
};

} // namespace

// Three bands of a 640x360 capture (half the 720-line sizes) at 4 frames a
// second: a scroller at 200 pixels a second, a wave of 20 pixels, one wave a
// second and a quarter turn per letter, and a typewriter of 4 letters a second.
TEST(TextE2ETest, ScrollerWaveAndTypewriterShowTheirPlaceAtEachFrameTime)
{
    const std::string parts =
        "<part start=\"0\" end=\"2\" name=\"scroller\" class=\"lib.Text\" priority=\"1\">\n"
        "  <param text=\"I\" size=\"60\" color=\"255 255 255\" relativeY=\"0.17\" scroll=\"200\"/>\n</part>\n"
        "<part start=\"0\" end=\"2\" name=\"wave\" class=\"lib.Text\" priority=\"1\">\n"
        "  <param text=\"IIII\" size=\"60\" relativeY=\"0.5\" wave=\"20 1 1.5707963268\"/>\n</part>\n"
        "<part start=\"0\" end=\"2\" name=\"typewriter\" class=\"lib.Text\" priority=\"1\">\n"
        "  <param text=\"IIIII\" size=\"60\" relativeY=\"0.83\" typewriter=\"4\"/>\n</part>\n";
    VexelTest::TempFolder folder;
    ProgramRun run = DemoRun(parts);
    run.args = {"--capture",        (folder.Path() / "%d.png").string(), "--fps", "4", "--size", "640x360", "--quiet",
                "show/morvelin.xml"};
    const RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
    ASSERT_EQ(result.exitCode, 0) << result.err;

    int scrollerAtHalf = -1;
    int waveTop = -1;
    for (int n = 0; n < 8; ++n) {
        SCOPED_TRACE("frame " + std::to_string(n));
        const double time = n / 4.0;
        const Frame frame(folder.Path() / (std::to_string(n) + ".png"));
        ASSERT_EQ(frame.width, 640);

        // The scroller comes in from the right edge, 25 pixels a frame.
        const auto scroller = frame.Letters(0, 120);
        ASSERT_EQ(scroller.size(), n == 0 ? 0u : 1u);
        if (n == 2) {
            scrollerAtHalf = scroller[0].first;
            EXPECT_NEAR(scrollerAtHalf, 640 - 50, 4);
        } else if (n > 0 && scrollerAtHalf >= 0) {
            EXPECT_EQ(scroller[0].first, scrollerAtHalf - 25 * (n - 2));
        }

        // Letter i of the wave is lowered by 10 sin(2 pi t + i pi / 2) pixels.
        const auto wave = frame.Letters(120, 240);
        ASSERT_EQ(wave.size(), 4u);
        waveTop = n == 0 ? wave[0].second : waveTop;
        for (int i = 0; i < 4; ++i) {
            const double lowered = 10.0 * std::sin(6.283185307 * time + i * 1.5707963268);
            EXPECT_NEAR(wave[i].second, waveTop + lowered, 1.0) << "letter " << i;
        }

        // floor(4 t) letters of five.
        EXPECT_EQ(frame.Letters(240, 360).size(), std::min<size_t>(5, static_cast<size_t>(n))) << "typewriter";
    }
}

TEST(TextE2ETest, AFontThatCannotBeUsedStopsBothProgramsAndMissingGlyphsAreWarned)
{
    const auto part = [](const std::string& params) {
        return "<part start=\"0\" end=\"0.2\" name=\"title\" class=\"lib.Text\" priority=\"1\">\n  <param " + params +
               "/>\n</part>\n";
    };
    const std::string notAFontText(400, 'x');
    const std::string notFound = "Text part \"title\": font \"data/fonts/title.ttf\" not found!";
    const std::string notAFont =
        "Text part \"title\": font \"data/fonts/notes.ttf\" is not a font: not a TrueType or OpenType file!";
    const struct
    {
        std::string params;
        int status;
        // morvelin's last line on standard error, up to the place in main.cpp
        std::string fatal;
        Lines check;
    } cases[] = {
        {"text=\"Hello\" font=\"title.ttf\"",
         1,
         "FATAL: " + notFound,
         {"show/morvelin.xml:5:23: error: font \"data/fonts/title.ttf\" not found", "1 error, 0 warnings"}},
        {"text=\"Hello\" font=\"notes.ttf\"",
         1,
         "FATAL: " + notAFont,
         {"show/morvelin.xml:5:23: error: font \"data/fonts/notes.ttf\" is not a font: not a TrueType or OpenType "
          "file",
          "1 error, 0 warnings"}},
        // Line breaks and joiners have no glyph of their own and are never missing.
        {"text=\"Grüße 字体\\na&#x200D;字\"",
         0,
         "Warning: Text part \"title\": font \"DejaVu Sans\" has no glyph for \"字体\" (U+5B57, U+4F53): each shows "
         "as a box",
         {"show/morvelin.xml:5:10: warning: font \"DejaVu Sans\" has no glyph for \"字体\" (U+5B57, U+4F53): each "
          "shows as a box",
          "0 errors, 1 warning"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.params);
        ProgramRun run = DemoRun(part(c.params), "");
        run.files["data/fonts/notes.ttf"] = notAFontText;
        const RunResult played = VexelTest::RunMorvelin(run);
        EXPECT_EQ(played.exitCode, c.status) << played.err;
        const Lines err = played.ErrLines();
        ASSERT_FALSE(err.empty());
        if (c.status == 0) {
            EXPECT_EQ(err[0], c.fatal);
        } else {
            EXPECT_EQ(err.back().rfind(c.fatal + " (", 0), 0u) << err.back();
            EXPECT_NE(err.back().find("main.cpp:21, int main(int, char**))"), std::string::npos) << err.back();
        }

        ProgramRun check = DemoRun(part(c.params));
        check.files["show/data/fonts/notes.ttf"] = notAFontText;
        check.args = {"--check", "show/morvelin.xml"};
        const RunResult checked = VexelTest::RunProgram(VEXEL_PLAYER_EXE, check);
        EXPECT_EQ(checked.OutLines(), c.check);
        EXPECT_EQ(checked.exitCode, c.status) << checked.err;

        if (c.status != 0) {
            // The player refuses it before it plays, with the check's error.
            check.args = {"--quiet", "show/morvelin.xml"};
            const RunResult refused = VexelTest::RunProgram(VEXEL_PLAYER_EXE, check);
            EXPECT_EQ(refused.exitCode, 1);
            EXPECT_EQ(refused.ErrLines(), Lines{c.check.front()});
        }
    }
}

// The player watches a text part's font: a font saved over with something
// else keeps the last good timeline, a good one loads.
TEST(TextE2ETest, TheLivePlayerReloadsWhenAFontChanges)
{
    VexelTest::TempFolder folder;
    const fs::path fonts = folder.Path() / "show/data/fonts";
    ProgramRun run = DemoRun("<part start=\"0\" end=\"9\" name=\"title\" class=\"lib.Text\" priority=\"1\">\n"
                             "  <param text=\"Hello\" font=\"title.ttf\"/>\n</part>\n",
                             (folder.Path() / "show/").string());
    // Written here rather than by the runner, so the test can change the font.
    fs::create_directories(fonts);
    std::ofstream(run.files.begin()->first) << run.files.begin()->second;
    run.files.clear();
    const std::string serif = VEXEL_SOURCE_DIR "/docs/examples/data/fonts/DejaVuSerif.ttf";
    fs::copy_file(serif, fonts / "title.ttf");
    const std::string settings = (folder.Path() / "show/morvelin.xml").string();
    run.args = {settings, "--paused", "--mute"};
    bool refused = false;
    bool loaded = false;
    run.whileRunning = [&](VexelTest::RunningProgram& program) {
        if (!program.WaitForOutput("ready at 0:00.000, paused", 20s)) {
            return;
        }
        std::ofstream(fonts / "title.ttf", std::ios::trunc) << std::string(400, 'x');
        refused = program.WaitForOutput("reload failed: the last good timeline plays on", 20s);
        fs::copy_file(serif, fonts / "title.ttf", fs::copy_options::overwrite_existing);
        loaded = program.WaitForOutput("reloaded at 0:00.000", 20s);
        program.Key("Escape");
    };
    const RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(refused) << result.out;
    EXPECT_TRUE(loaded) << result.out;
    EXPECT_NE(VexelTest::IndexOf(result.ErrLines(), settings + ":5:23: error: font \"data/fonts/title.ttf\" is not a "
                                                               "font: not a TrueType or OpenType file"),
              -1)
        << result.err;
}
