#include "ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Black from 0 to 3 s under white from 1 to 1.5 s, captured at 10 fps: the
// frame at t is white exactly for 1 <= t < 1.5, whatever frame came first.
TEST(PartEndE2ETest, ACapturedFrameShowsThePartsOfItsTimeFromAnyFirstFrame)
{
    VexelTest::TempFolder folder;
    std::ofstream(folder / "show.xml")
        << "<Halvorn-demo-settings><soundtrack file=\"none.wav\"/><demoparts>"
           "<part start=\"0\" end=\"3\" name=\"black\" class=\"lib.ClearScreen\" priority=\"0\"/>"
           "<part start=\"1\" end=\"1.5\" name=\"white\" class=\"lib.ClearScreen\" priority=\"1\">"
           "<param color=\"255 255 255\"/></part></demoparts></Halvorn-demo-settings>\n";
    struct Case
    {
        std::string from;
        // Whether frames 0, 1, ... are white.
        std::vector<bool> white;
    };
    const Case cases[] = {
        {"1.45", {true, false}},
        {"1.5", {false, false}},
        {"1.55", {false}},
        {"0.95", {false, true, true, true, true, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("--from " + c.from);
        const fs::path frames = folder.Path() / c.from;
        VexelTest::ProgramRun run;
        run.args = {"--capture",
                    (frames / "%d.png").string(),
                    "--fps",
                    "10",
                    "--size",
                    "16x8",
                    "--from",
                    c.from,
                    "--to",
                    std::to_string(std::stod(c.from) + c.white.size() / 10.0 - 0.05),
                    "--mute",
                    "--quiet",
                    folder / "show.xml"};
        run.timeout = 60s;
        const VexelTest::RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        for (std::size_t n = 0; n < c.white.size(); ++n) {
            const std::string rgb =
                VexelTest::ShellOutput("ffmpeg -v error -i '" + (frames / (std::to_string(n) + ".png")).string() +
                                       "' -f rawvideo -pix_fmt gray -");
            ASSERT_EQ(rgb.size(), 16u * 8u) << "frame " << n;
            EXPECT_EQ(static_cast<unsigned char>(rgb[60]) > 200, c.white[n]) << "frame " << n;
        }
        EXPECT_FALSE(fs::exists(frames / (std::to_string(c.white.size()) + ".png")));
    }
}
