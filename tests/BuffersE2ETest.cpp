#include "ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ProgramRun;
using VexelTest::RunResult;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

// Each buffer and part on a line of its own, the buffers from line 3; in a
// folder with the guide's sound, the shader pair and the test scene's pictures.
ProgramRun DemoRun(const Lines& buffers, const Lines& parts)
{
    std::string text = "<Halvorn-demo-settings>\n  <soundtrack file=\"data/music/tone.wav\"/>\n";
    for (const std::string& line : buffers) {
        text += "  " + line + "\n";
    }
    text += "  <demoparts>\n";
    for (const std::string& line : parts) {
        text += "    " + line + "\n";
    }
    ProgramRun run;
    run.files["morvelin.xml"] = text + "  </demoparts>\n</Halvorn-demo-settings>\n";
    run.copies = {{VEXEL_SOURCE_DIR "/docs/examples/data", "data"}};
    return run;
}

std::string Part(const std::string& name, const std::string& className, int priority, const std::string& params)
{
    return "<part start=\"0\" end=\"3\" name=\"" + name + "\" class=\"" + className + "\" priority=\"" +
           std::to_string(priority) + "\"><param " + params + "/></part>";
}

} // namespace

TEST(BuffersE2ETest, MorvelinDrawsThroughABufferAndStopsAtABadOneNamingIt)
{
    // A buffer of one colour, shown over the whole screen by a picture part.
    const Lines parts = {Part("fill", "lib.ClearScreen", 0, "color=\"200 20 40\" target=\"b\""),
                         Part("show", "lib.Image", 1, "image=\"@b\" relativeWidth=\"1\" relativeHeight=\"1\"")};
    const std::string good = "<buffer name=\"b\" resolution=\"0.5\"/>";
    // The texts are the check's (below); here, that each stops the demo before it shows.
    const struct
    {
        Lines buffers;
        std::string fatal;
    } cases[] = {
        {{good}, ""},
        {{}, "part \"fill\": unknown buffer \"b\" (the file defines none)"},
        {{good, good}, "buffer \"b\" is defined twice (first at line 3)"},
    };
    for (const auto& c : cases) {
        ProgramRun run = DemoRun(c.buffers, parts);
        std::vector<unsigned char> pixel;
        run.whileRunning = [&](VexelTest::RunningProgram& program) {
            for (int attempt = 0; attempt < 60 && c.fatal.empty() && (pixel.empty() || pixel[0] != 200); ++attempt) {
                std::this_thread::sleep_for(50ms);
                const std::vector<unsigned char> shot = program.Screenshot();
                pixel.assign(shot.begin() + std::min<std::size_t>(shot.size(), (360 * 1280 + 640) * 3), shot.end());
            }
        };
        const RunResult result = VexelTest::RunMorvelin(run);
        if (c.fatal.empty()) {
            EXPECT_EQ(result.exitCode, 0) << result.err;
            ASSERT_GE(pixel.size(), 3u) << "no screenshot";
            EXPECT_EQ(std::vector<int>(pixel.begin(), pixel.begin() + 3), (std::vector<int>{200, 20, 40}));
        } else {
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_EQ(result.ErrLines(), Lines{"FATAL: " + c.fatal + " (src/main.cpp:21, int main(int, char**))"});
        }
    }
}

TEST(BuffersE2ETest, TheCheckListsEachBufferProblemAtItsLineAndColumn)
{
    // The clear into a buffer covers neither the screen's parts nor another buffer's.
    ProgramRun run = DemoRun(
        {"<buffer name=\"b\" format=\"rgba64\" resolution=\"0.1\" clear=\"yes\"/>", "<buffer name=\"b\"/>",
         "<buffer name=\"screen\" fromat=\"rgba16f\"/>", "<buffer format=\"rgba16f\"/>", "<buffer name=\"idle\"/>"},
        {Part("fill", "lib.ClearScreen", 0, "target=\"b\""), Part("lost", "lib.ClearScreen", 1, "target=\"B\""),
         Part("show", "lib.Image", 2, "image=\"@c\""),
         Part("toy", "lib.Shader", 3, "shader=\"toy.glsl\" iChannel0=\"@d\" iChannel1=\"b\" target=\"screen\""),
         Part("spin", "lib.TestPartVao", 4, "target=\"b\""), Part("wipe", "lib.ClearScreen", 5, "target=\"screen\"")});
    run.files["data/shaders/toy.glsl"] =
        "void mainImage(out vec4 c, in vec2 p) { c = texture(iChannel0, p) + texture(iChannel1, p); }\n";
    run.args = {"--check", "morvelin.xml"};
    const std::string f = "morvelin.xml:";
    const std::string known = " (buffers: b, screen, idle)";
    const RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
    EXPECT_EQ(
        result.OutLines(),
        (Lines{
            f + "3:20: error: buffer \"b\": format \"rgba64\" is not rgba8, rgba16f or rgba32f",
            f + "3:36: error: buffer \"b\": resolution \"0.1\" is not a number from 0.125 to 1",
            f + "3:53: error: buffer \"b\": clear \"yes\" is not \"frame\" or \"never\"",
            f + "4:11: error: buffer \"b\" is defined twice (first at line 3)",
            f + "5:11: error: buffer \"screen\": the name of a lib.Shader source (previous, screen, noise, "
                "checker, music); give it another",
            f + "5:25: warning: buffer \"screen\": unknown attribute \"fromat\" (name, format, resolution, clear)",
            f + "6:3: error: the buffer has no name",
            f + "7:3: warning: buffer \"idle\" is never drawn into: no part has target=\"idle\"",
            f + "10:85: error: part \"lost\": unknown buffer \"B\"" + known,
            f + "11:79: error: part \"show\": unknown buffer \"c\"" + known,
            f + "12:5: warning: part \"toy\" never shows: ClearScreen part \"wipe\" (priority 5) clears buffer "
                "\"screen\" over all of its time",
            f + "12:97: error: part \"toy\": unknown buffer \"d\"" + known,
            "9 errors, 3 warnings",
        }));
    EXPECT_EQ(result.exitCode, 1) << result.err;
}

TEST(BuffersE2ETest, ACaptureOfTheMultiPassExampleIsTheSameTwiceAndItsWaterMoves)
{
    VexelTest::TempFolder folder;
    fs::copy(VEXEL_SOURCE_DIR "/docs/examples/data", folder.Path() / "data", fs::copy_options::recursive);
    fs::copy(VEXEL_SOURCE_DIR "/docs/examples/buffers-multipass.xml", folder.Path() / "show.xml");
    std::vector<std::string> frames[2];
    for (int run = 0; run < 2; ++run) {
        ProgramRun capture;
        const std::string out = folder / ("run" + std::to_string(run) + "/%d.png");
        capture.args = {"--capture", out, "--fps",   "10",     "--size",           "64x36", "--from", "0.5",
                        "--to",      "1", "--quiet", "--mute", folder / "show.xml"};
        ASSERT_EQ(VexelTest::RunProgram(VEXEL_PLAYER_EXE, capture).exitCode, 0);
        for (int n = 0; n < 5; ++n) {
            frames[run].push_back(
                VexelTest::ReadFile(folder / ("run" + std::to_string(run) + "/" + std::to_string(n) + ".png")));
            ASSERT_FALSE(frames[run].back().empty()) << n;
            EXPECT_TRUE(n == 0 || frames[run][n] != frames[run][n - 1]) << "frame " << n << " shows the water before";
        }
    }
    EXPECT_EQ(frames[0], frames[1]);
}
