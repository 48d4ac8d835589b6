#include "ProgramRunner.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ProgramRun;
using VexelTest::RunningProgram;
namespace fs = std::filesystem;

namespace {

// A folder of the test's own, so it can edit the files while the player runs.
class PlayerReloadE2ETest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vexel-reload-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        mFolder = pattern;
        fs::create_directories(mFolder / "data/textures");
        fs::create_directories(mFolder / "data/music");
        fs::copy(VEXEL_DEMO_DIR "/data/shaders", mFolder / "data/shaders");
        fs::copy(VEXEL_DEMO_DIR "/data/textures/star.png", mFolder / "data/textures/star.png");
        fs::copy(VEXEL_DEMO_DIR "/data/music/morvelin.ogg", mFolder / "data/music/track.ogg");
        SDL_Surface* palette = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 8, SDL_PIXELFORMAT_INDEX8);
        ASSERT_NE(palette, nullptr);
        ASSERT_EQ(SDL_SaveBMP(palette, (mFolder / "data/textures/palette.bmp").c_str()), 0);
        SDL_FreeSurface(palette);
    }
    void TearDown() override { fs::remove_all(mFolder); }

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

    fs::path mFolder;
};

// A red screen with a small star in a corner, or the colour given.
std::string Settings(const std::string& color = "255 0 0", const std::string& image = "star.png",
                     const std::string& ease = "linear")
{
    return "<Halvorn-demo-settings>\n  <soundtrack file=\"data/music/track.ogg\"/>\n  <demoparts>\n"
           "    <part start=\"0\" end=\"60\" name=\"sky\" class=\"lib.ClearScreen\" priority=\"0\">\n"
           "      <param color=\"" + color + "\"/>\n    </part>\n"
           "    <part start=\"0\" end=\"60\" name=\"star\" class=\"lib.Image\" priority=\"1\">\n"
           "      <param image=\"" + image + "\" relativeX=\"0.1\" relativeY=\"0.1\" relativeWidth=\"0.1\"/>\n"
           "      <animate key=\"rotate\" times=\"0 60\" values=\"0 360\" ease=\"" + ease + "\"/>\n"
           "    </part>\n  </demoparts>\n</Halvorn-demo-settings>\n";
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

int Count(const std::string& text, const std::string& line)
{
    int count = 0;
    for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
        ++count;
    }
    return count;
}

bool WaitFor(RunningProgram& program, const std::string& line, int times)
{
    for (int i = 0; i < 200 && !program.HasExited(); ++i) {
        if (Count(program.Out(), line + "\n") >= times) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

// The centre of the screen once it shows the colour (a swap may lag a frame).
bool CentreShows(RunningProgram& program, int r, int g, int b)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        const std::vector<unsigned char> shot = program.Screenshot();
        if (shot.size() == 1280u * 720u * 3u) {
            const unsigned char* pixel = &shot[(360 * 1280 + 640) * 3];
            if (std::abs(pixel[0] - r) <= 3 && std::abs(pixel[1] - g) <= 3 && std::abs(pixel[2] - b) <= 3) {
                return true;
            }
        }
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

} // namespace

TEST_F(PlayerReloadE2ETest, EachFailureKeepsTheLastGoodTimelineAndTheFixedFileLoads)
{
    const std::string settings = (mFolder / "player.xml").string();
    const std::string frag = "data/shaders/standard.330.frag";
    const std::string goodFrag = VexelTest::ReadFile(VEXEL_DEMO_DIR "/" + frag);
    Save("player.xml", Settings(), false);

    // Each broken file would also turn the screen blue, were it taken.
    const std::string blue = Settings("0 0 255");
    struct Case
    {
        std::string file;
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"player.xml", Replace(blue, "    </part>\n  </demoparts>", "  </demoparts>"),
         ":10:15: error: not well-formed XML: Unmatched end tag"},
        {"player.xml", Replace(Replace(blue, "<Halvorn-demo-settings>", "<demo>"), "</Halvorn-demo-settings>", "</demo>"),
         ":1:1: error: the document element is <demo>, not <Halvorn-demo-settings>"},
        {"player.xml", Replace(blue, "lib.ClearScreen", "lib.Clear"), ":4:41: error: unknown part class \"lib.Clear\""},
        {"player.xml", Replace(blue, " priority=\"0\"", ""), ":4:5: error: the part has no priority attribute"},
        {"player.xml", Replace(blue, "start=\"0\"", "start=\"1e999\""),
         ":4:11: error: start \"1e999\" is not a finite time"},
        {"player.xml", Settings("0 0"),
         ":5:14: error: color \"0 0\" has no whole number for blue: write 'r g b' with values 0-255"},
        {"player.xml", Settings("0 0 255", "gone.png"), ":8:14: error: picture \"data/textures/gone.png\" not found"},
        {"player.xml", Settings("0 0 255", "palette.bmp"),
         ":8:14: error: picture \"data/textures/palette.bmp\" is not true-colour (8 bits per pixel)"},
        {"player.xml", Settings("0 0 255", "star.png", "bouncy"),
         ":9:57: error: part \"star\": animate \"rotate\" has unknown ease \"bouncy\" (step, linear, smooth, in or out)"},
        {frag, Replace(goodFrag, "void main", "void main broken"), ""},
    };

    ProgramRun run;
    run.args = {settings, "--paused", "--start", "1"};
    run.timeout = 90s;
    std::vector<std::string> seen;
    bool allRed = true;
    bool green = false;
    run.whileRunning = [&](RunningProgram& program) {
        if (!WaitFor(program, "ready at 0:01.000, paused", 1)) {
            return;
        }
        allRed = CentreShows(program, 255, 0, 0);
        for (std::size_t i = 0; i < cases.size(); ++i) {
            Save(cases[i].file, cases[i].text, i % 2 == 1);
            const bool failed = WaitFor(program, "reload failed: the last good timeline plays on", int(i) + 1);
            seen.push_back(failed ? "failed" : "not seen");
            allRed = CentreShows(program, 255, 0, 0) && allRed;
        }
        Save(frag, goodFrag, true);
        Save("player.xml", Settings("0 255 0"), true);
        green = WaitFor(program, "reloaded at 0:01.000", 1) && CentreShows(program, 0, 255, 0);
        program.Key("Escape");
    };
    const VexelTest::RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(seen, std::vector<std::string>(cases.size(), "failed"));
    EXPECT_TRUE(allRed);
    EXPECT_TRUE(green);
    const std::vector<std::string> errors = result.ErrLines();
    for (const Case& c : cases) {
        if (!c.error.empty()) {
            EXPECT_NE(VexelTest::IndexOf(errors, settings + c.error), -1) << c.error << "\n" << result.err;
        }
    }
    // The shader's own file and the driver's line.
    const std::string shaderError = (mFolder / frag).string() + ":";
    int shaderLines = 0;
    for (const std::string& line : errors) {
        shaderLines += line.rfind(shaderError, 0) == 0 && line.find(": error: ") != std::string::npos ? 1 : 0;
    }
    EXPECT_GT(shaderLines, 0) << result.err;
}
