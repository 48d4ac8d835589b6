#include "Audio/BandEnvelope.h"
#include "Audio/MusicAnalysis.h"
#include "ProgramRunner.h"
#include "TempFolder.h"
#include "TestSounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ProgramRun;
using VexelTest::RunResult;
using VexelTest::Samples;
using Rgb = std::array<int, 3>;

namespace {

constexpr int Rate = MusicAnalysis::SampleRate;

std::string Showdown(const std::string& declarations, const std::string& body)
{
    return "#version 330 core\n" + declarations + "layout(location = 0) out vec4 out_color;\nvoid main()\n{\n" + body +
           "}\n";
}

// A part to 3 s, the length of every soundtrack here.
std::string Part(const std::string& className, const std::string& params, const std::string& inside,
                 const std::string& start = "0")
{
    return "    <part start=\"" + start + "\" end=\"3\" name=\"p\" class=\"" + className + "\" priority=\"0\">\n" +
           (params.empty() ? "" : "      <param " + params + "/>\n") + inside + "    </part>\n";
}

// The demo in the working folder, with the demo's standard shaders and pictures.
ProgramRun Demo(const std::string& parts, const Samples& track, const std::string& shader = "")
{
    ProgramRun run;
    run.files["morvelin.xml"] = "<Halvorn-demo-settings>\n  <name>M</name>\n  <version>1</version>\n  <soundtrack "
                                "file=\"track.wav\"/>\n  <demoparts>\n" +
                                parts + "  </demoparts>\n</Halvorn-demo-settings>\n";
    run.files["track.wav"] = VexelTest::WavBytes(track, 1, Rate);
    run.files["data/shaders/fx.glsl"] = shader;
    for (const std::string file : {"shaders/standard.330.vert", "shaders/standard.330.frag", "textures/test.png",
                                   "textures/bg.jpg", "textures/star.png"}) {
        run.copies.push_back({VEXEL_DEMO_DIR "/data/" + file, "data/" + file});
    }
    return run;
}

class MusicDrivenE2ETest : public ::testing::Test
{
protected:
    // The pixel at x, y of every frame of a 16x8 PNG capture.
    std::vector<Rgb> Capture(ProgramRun run, const std::string& fps, const std::string& from, const std::string& to,
                             int x = 0, int y = 0)
    {
        const std::string frames = mOut / (std::to_string(mCaptures++) + "/%03d.png");
        run.args = {"--capture", frames, "--fps", fps, "--size", "16x8", "--from", from, "--to", to, "morvelin.xml"};
        EXPECT_EQ(VexelTest::RunProgram(VEXEL_PLAYER_EXE, run).exitCode, 0);
        const std::string rgb =
            VexelTest::ShellOutput("ffmpeg -v error -i '" + frames + "' -f rawvideo -pix_fmt rgb24 -");
        std::vector<Rgb> pixels;
        for (std::size_t at = (y * 16 + x) * 3; at + 2 < rgb.size(); at += 16 * 8 * 3) {
            pixels.push_back({static_cast<unsigned char>(rgb[at]), static_cast<unsigned char>(rgb[at + 1]),
                              static_cast<unsigned char>(rgb[at + 2])});
        }
        return pixels;
    }

    VexelTest::TempFolder mOut;
    int mCaptures = 0;
};

} // namespace

TEST_F(MusicDrivenE2ETest, AClickShowsInTexFftFromTheFirstFrameAfterItStartsInACaptureAndAfterASeek)
{
    // 4 ms of a tone at 1.01 s, in the spectrum's 2048 samples until 1.06 s:
    // white while the bins around it hold anything, grey 51 before and after.
    // The part starts late, so its running time is not the timeline's.
    Samples track(3 * Rate, 0);
    VexelTest::AddTone(track, Rate, 2000.0, 0.9, 1.01, 1.014);
    ProgramRun run =
        Demo(Part("lib.Shader", "shader=\"fx.glsl\"", "", "0.01"), track,
             Showdown("uniform sampler1D texFFT;\n", "    float sum = 0.0;\n"
                                                     "    for (int i = 63; i < 124; ++i)\n"
                                                     "        sum += texelFetch(texFFT, i, 0).r;\n"
                                                     "    out_color = vec4(vec3(sum > 1e-4 ? 1.0 : 0.2), 1.0);\n"));
    std::vector<int> shown;
    for (const Rgb& pixel : Capture(run, "60", "0.95", "1.1")) {
        shown.push_back(pixel[0]);
    }
    EXPECT_EQ(shown, (std::vector<int>{51, 51, 51, 51, 255, 255, 255, 51, 51}));

    // Paused in the player, then a second on and another: the centre's grey
    // each time, once a frame has shown it (or as it is 5 s on).
    const std::pair<std::string, int> steps[] = {
        {"ready at 0:00.020, paused", 51}, {"seek to 0:01.020", 255}, {"seek to 0:02.020", 51}};
    std::vector<int> seen;
    run.args = {"--start", "0.02", "--paused", "morvelin.xml"};
    run.whileRunning = [&](VexelTest::RunningProgram& program) {
        const auto centre = [&program] {
            const std::vector<unsigned char> shot = program.Screenshot();
            return shot.empty() ? -1 : static_cast<int>(shot[(360 * 1280 + 640) * 3]);
        };
        for (const auto& [line, grey] : steps) {
            const bool said = program.WaitForOutput(line, 30s);
            for (int i = 0; said && i < 50 && centre() != grey; ++i) {
                std::this_thread::sleep_for(100ms);
            }
            seen.push_back(said ? centre() : -1);
            program.Key("Right");
        }
        program.Key("Escape");
    };
    EXPECT_EQ(VexelTest::RunProgram(VEXEL_PLAYER_EXE, run).exitCode, 0);
    EXPECT_EQ(seen, (std::vector<int>{51, 255, 51}));
}

TEST_F(MusicDrivenE2ETest, SmoothedAndIntegratedSpectraAreTheSameAtATimeWhateverTheFrameRateOrFirstFrame)
{
    // Two bursts on bin 46: red is its average, green and blue its sum,
    // coarse and fine, so that a difference in the sum's last bits shows.
    Samples track(3 * Rate, 0);
    VexelTest::AddTone(track, Rate, 46.0 * Rate / 2048, 0.5, 0.3, 0.9);
    VexelTest::AddTone(track, Rate, 46.0 * Rate / 2048, 0.5, 1.4, 2.0);
    const ProgramRun run = Demo(Part("lib.Shader", "shader=\"fx.glsl\"", ""), track,
                                Showdown("uniform sampler1D texFFTSmoothed;\nuniform sampler1D texFFTIntegrated;\n",
                                         "    float sum = texelFetch(texFFTIntegrated, 46, 0).r;\n"
                                         "    out_color = vec4(texelFetch(texFFTSmoothed, 46, 0).r * 2.0, "
                                         "fract(sum / 16.0), fract(sum * 64.0), 1.0);\n"));
    const std::vector<Rgb> at60 = Capture(run, "60", "0", "2.4");
    std::vector<Rgb> at30 = Capture(run, "30", "0", "2.4");
    const std::vector<Rgb> from1 = Capture(run, "60", "1", "2.4");
    ASSERT_EQ(at60.size(), 144u);
    ASSERT_EQ(at30.size(), 72u);
    ASSERT_EQ(from1.size(), 84u);
    for (std::size_t n = 0; n < at30.size(); ++n) {
        EXPECT_EQ(at30[n], at60[2 * n]) << "at " << n / 30.0 << " s";
    }
    EXPECT_TRUE(std::equal(from1.begin(), from1.end(), at60.begin() + 60));
    // The values move, so equal frames are not equally empty ones.
    std::sort(at30.begin(), at30.end());
    EXPECT_GT(std::unique(at30.begin(), at30.end()) - at30.begin(), 40);
}

TEST_F(MusicDrivenE2ETest, AReactingKeyFollowsItsBandsEnvelopeOnScreen)
{
    // Thumps on the beat, and ticks between them that the band leaves out.
    Samples track(3 * Rate, 0);
    for (double beat = 0.25; beat < 3.0; beat += 0.5) {
        VexelTest::AddTone(track, Rate, 80.0, 0.8, beat, beat + 0.08);
        VexelTest::AddTone(track, Rate, 6000.0, 0.8, beat + 0.25, beat + 0.28);
    }
    std::ofstream(mOut / "track.wav", std::ios::binary) << VexelTest::WavBytes(track, 1, Rate);
    const BandEnvelope envelope(*MusicAnalysis::FromFile(mOut / "track.wav"), 40.0, 160.0, 0.01, 0.25);
    // From 0.42 s (frame 9): the value follows the timeline's time, not the part's.
    const std::string band = " band=\"40-160\" attack=\"0.01\" release=\"0.25\"/>\n";
    const struct
    {
        std::string part;
        Rgb to; // the colour at the loudest moment; silence shows a fifth of it
    } cases[] = {
        {Part("lib.Shader", "shader=\"fx.glsl\" blending=\"transcluent\"",
              "      <react key=\"alpha\" from=\"0.2\" to=\"1\"" + band, "0.42"),
         {255, 255, 255}},
        {Part("lib.ClearScreen", "", "      <react key=\"color\" from=\"0 40 20\" to=\"0 200 100\"" + band, "0.42"),
         {0, 200, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        const std::vector<Rgb> shown =
            Capture(Demo(c.part, track, Showdown("", "    out_color = vec4(1.0);\n")), "20", "0", "2", 8, 4);
        ASSERT_EQ(shown.size(), 40u);
        for (std::size_t n = 0; n < shown.size(); ++n) {
            const double level = n < 9 ? 0.0 : 0.2 + 0.8 * envelope.At(n / 20.0);
            for (int i = 0; i < 3; ++i) {
                EXPECT_NEAR(shown[n][i], c.to[i] * level, 2.0) << "frame " << n << ", channel " << i;
            }
        }
    }
    // Each thump lifts it, and it falls back before the next.
    EXPECT_GT(envelope.At(0.3) - envelope.At(0.7), 0.7);
}

TEST_F(MusicDrivenE2ETest, EveryBadReactIsReportedAtItsAttributeByTheCheckAndStopsMorvelin)
{
    const std::string image = "image=\"star.png\"", shader = "shader=\"fx.glsl\"";
    const struct
    {
        std::string className, params, react, attribute, message; // attribute "": at the element
    } cases[] = {
        {"lib.Image", image, "band=\"40-160\" from=\"0\" to=\"1\"", "", "a react element has no key"},
        {"lib.Image", image, "key=\"spin\" band=\"40-160\" from=\"0\" to=\"1\"", "key",
         "lib.Image cannot react with \"spin\" (it animates alpha, rotate, relativeWidth, relativeHeight, relativeX, "
         "relativeY)"},
        {"lib.TestPartVao", "", "key=\"alpha\" band=\"40-160\" from=\"0\" to=\"1\"", "key",
         "lib.TestPartVao cannot react with \"alpha\" (it animates nothing)"},
        {"lib.Shader", shader, "key=\"speed\" band=\"40-160\" from=\"0\" to=\"1\"", "key",
         "lib.Shader cannot react with \"speed\" (it animates alpha, time, tint)"},
        {"lib.Image", image, "key=\"alpha\" from=\"0\" to=\"1\"", "", "react \"alpha\" needs a band attribute"},
        {"lib.Image", image, "key=\"alpha\" band=\"40-160\" to=\"1\"", "", "react \"alpha\" needs a from attribute"},
        {"lib.Image", image, "key=\"alpha\" band=\"40-160\" from=\"0\"", "", "react \"alpha\" needs a to attribute"},
        {"lib.Image", image, "key=\"alpha\" band=\"bass\" from=\"0\" to=\"1\"", "band",
         "react \"alpha\" band \"bass\" is not two numbers \"low-high\" in Hz"},
        {"lib.Image", image, "key=\"alpha\" band=\"160-40\" from=\"0\" to=\"1\"", "band",
         "react \"alpha\" band \"160-40\" is not within 0 <= low < high <= 22050 Hz"},
        {"lib.Image", image, "key=\"alpha\" band=\"-20-100\" from=\"0\" to=\"1\"", "band",
         "react \"alpha\" band \"-20-100\" is not within 0 <= low < high <= 22050 Hz"},
        {"lib.Image", image, "key=\"alpha\" band=\"40-30000\" from=\"0\" to=\"1\"", "band",
         "react \"alpha\" band \"40-30000\" is not within 0 <= low < high <= 22050 Hz"},
        {"lib.Image", image, "key=\"alpha\" band=\"40-160\" from=\"half\" to=\"1\"", "from",
         "react \"alpha\" from \"half\" is not a number"},
        {"lib.ClearScreen", "", "key=\"color\" band=\"40-160\" from=\"0 0 0\" to=\"255 0\"", "to",
         "react \"color\" to \"255 0\" is not a colour \"r g b\""},
        {"lib.Shader", shader, "key=\"tint\" band=\"40-160\" from=\"1 0\" to=\"1 1 1\"", "from",
         "react \"tint\" from \"1 0\" is not a vec3 \"x y z\""},
        {"lib.Image", image, "key=\"alpha\" band=\"40-160\" from=\"0\" to=\"1\" attack=\"soon\"", "attack",
         "react \"alpha\" attack \"soon\" is not a number"},
        {"lib.Image", image, "key=\"alpha\" band=\"40-160\" from=\"0\" to=\"1\" release=\"-0.1\"", "release",
         "react \"alpha\" release \"-0.1\" is negative"},
        {"lib.Image", image + "/>\n      <animate key=\"alpha\" times=\"0 1\" values=\"0 1\"",
         "key=\"alpha\" band=\"40-160\" from=\"0\" to=\"1\"", "key",
         "react \"alpha\" is animated too: a key either animates or reacts"},
    };
    const Samples track(3 * Rate, 0);
    const std::string shaderText = Showdown("uniform vec3 tint;\n", "    out_color = vec4(tint, 1.0);\n");
    // A good one beside them says nothing: a band of numbers with exponents, every attribute.
    std::string parts = Part("lib.Image", image,
                             "      <react key=\"rotate\" band=\"1e1-2.2e4\" from=\"0\" to=\"90\" "
                             "attack=\"0\" release=\"1\"/>\n");
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        const std::string line = "      <react " + c.react + "/>";
        const std::string part = Part(c.className, c.params, line + "\n");
        SCOPED_TRACE(part);
        const RunResult result = VexelTest::RunMorvelin(Demo(part, track, shaderText));
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.ErrLines(), std::vector<std::string>{"FATAL: part \"p\": " + c.message +
                                                              " (src/main.cpp:21, int main(int, char**))"});
        // The file's first part is on line 6.
        parts += part;
        const int row = 5 + static_cast<int>(std::count(parts.begin(), parts.end(), '\n')) - 1;
        const std::size_t column = c.attribute.empty() ? line.find('<') : line.find(" " + c.attribute + "=") + 1;
        expected.push_back("morvelin.xml:" + std::to_string(row) + ":" + std::to_string(column + 1) +
                           ": error: part \"p\": " + c.message);
    }
    expected.push_back(std::to_string(std::size(cases)) + " errors, 0 warnings");
    ProgramRun check = Demo(parts, track, shaderText);
    check.args = {"--check", "morvelin.xml"};
    EXPECT_EQ(VexelTest::RunProgram(VEXEL_PLAYER_EXE, check).OutLines(), expected);
}
