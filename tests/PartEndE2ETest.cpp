#include "ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>

using namespace std::chrono_literals;

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
    // The first frame's time, then W for each white frame and B for each black one.
    const std::pair<std::string, std::string> cases[] = {{"1.45", "WB"}, {"1.5", "BB"}, {"0.95", "BWWWWWB"}};
    for (const auto& [from, expected] : cases) {
        const std::string frames = folder / from;
        VexelTest::ProgramRun run;
        run.args = {"--capture", frames + "/%d.png", "--fps", "10", "--size", "16x8", "--from", from, "--to",
                    std::to_string(std::stod(from) + expected.size() / 10.0 - 0.05), "--mute", "--quiet",
                    folder / "show.xml"};
        run.timeout = 60s;
        ASSERT_EQ(VexelTest::RunProgram(VEXEL_PLAYER_EXE, run).exitCode, 0) << from;
        std::string seen;
        for (const char level : VexelTest::ShellOutput("ffmpeg -v error -i '" + frames +
                                                       "/%d.png' -vf scale=1:1 -f rawvideo -pix_fmt gray -")) {
            seen += static_cast<unsigned char>(level) > 127 ? 'W' : 'B';
        }
        EXPECT_EQ(seen, expected) << "--from " << from;
    }
}
