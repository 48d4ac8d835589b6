#include "Audio/BandEnvelope.h"
#include "Audio/MusicAnalysis.h"
#include "ProgramRunner.h"
#include "TempFolder.h"
#include "TestSounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ProgramRun;
using VexelTest::RunningProgram;
using VexelTest::RunResult;
using VexelTest::Samples;
using Lines = std::vector<std::string>;

namespace {

constexpr int Rate = MusicAnalysis::SampleRate;
const std::string FatalAt = " (src/main.cpp:21, int main(int, char**))";

// A showdown shader of a body that sets out_color.
std::string Showdown(const std::string& declarations, const std::string& body)
{
    return "#version 330 core\n" + declarations + "layout(location = 0) out vec4 out_color;\nvoid main()\n{\n" + body +
           "}\n";
}

std::string Part(const std::string& className, const std::string& params, const std::string& inside = "",
                 const std::string& name = "p", const std::string& end = "60", const std::string& start = "0")
{
    return "    <part start=\"" + start + "\" end=\"" + end + "\" name=\"" + name + "\" class=\"" + className +
           "\" priority=\"0\">\n" + (params.empty() ? "" : "      <param " + params + "/>\n") + inside +
           "    </part>\n";
}

std::string Settings(const std::string& parts)
{
    return "<Halvorn-demo-settings>\n  <name>M</name>\n  <version>1</version>\n"
           "  <soundtrack file=\"data/music/track.wav\"/>\n  <demoparts>\n" +
           parts + "  </demoparts>\n</Halvorn-demo-settings>\n";
}

// A demo in the working folder: the settings, the soundtrack, the standard
// shaders and the pictures of the demo, and shaders of the test's own.
ProgramRun DemoRun(const std::string& settings, const Samples& track,
                   const std::vector<std::pair<std::string, std::string>>& shaders = {})
{
    ProgramRun run;
    run.files["morvelin.xml"] = settings;
    run.files["data/music/track.wav"] = VexelTest::WavBytes(track, 1, Rate);
    for (const auto& [name, text] : shaders) {
        run.files["data/shaders/" + name] = text;
    }
    for (const char* file : {"shaders/standard.330.vert", "shaders/standard.330.frag", "textures/test.png",
                             "textures/bg.jpg", "textures/star.png"}) {
        run.copies.push_back({VEXEL_DEMO_DIR "/data/" + std::string(file), "data/" + std::string(file)});
    }
    run.timeout = 60s;
    return run;
}

// The pixel at x, y of every frame of a PNG capture, in frame order.
struct Rgb
{
    int r, g, b;
};
std::vector<Rgb> FramePixels(const std::string& pattern, int width, int x, int y)
{
    const std::string bytes =
        VexelTest::ShellOutput("ffmpeg -v error -i '" + pattern + "' -f rawvideo -pix_fmt rgb24 -");
    const std::size_t frameBytes = static_cast<std::size_t>(width) * 8 * 3;
    std::vector<Rgb> pixels;
    for (std::size_t frame = 0; (frame + 1) * frameBytes <= bytes.size(); ++frame) {
        const auto* pixel =
            reinterpret_cast<const unsigned char*>(bytes.data() + frame * frameBytes + (y * width + x) * 3);
        pixels.push_back({pixel[0], pixel[1], pixel[2]});
    }
    return pixels;
}

class MusicDrivenE2ETest : public ::testing::Test
{
protected:
    // Captures the demo to PNG frames of 16x8 pixels in a folder of the
    // test's own and returns the pixel at x, y of each.
    std::vector<Rgb> Capture(ProgramRun run, const std::string& fps, const std::string& from, const std::string& to,
                             int x = 0, int y = 0)
    {
        const std::string pattern = mOut / (fps + "-" + from + "-" + std::to_string(mCaptures++) + "/%03d.png");
        run.args = {"--capture", pattern, "--fps", fps, "--size",  "16x8",
                    "--from",    from,    "--to",  to,  "--quiet", "morvelin.xml"};
        const RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return FramePixels(pattern, 16, x, y);
    }

    VexelTest::TempFolder mOut;
    int mCaptures = 0;
};

// Waits until the centre of the screen is that grey (a swap may lag a frame).
bool CentreBecomes(RunningProgram& program, int grey)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const std::vector<unsigned char> shot = program.Screenshot();
        if (shot.size() == 1280u * 720u * 3u && std::abs(shot[(360 * 1280 + 640) * 3] - grey) <= 3) {
            return true;
        }
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

} // namespace

TEST_F(MusicDrivenE2ETest, AClickShowsInTexFftFromTheFirstFrameAfterItStartsInACaptureAndAfterASeek)
{
    // 4 ms of a loud tone at 1.01 s; the 2048 samples of the spectrum hold it
    // until 1.014 + 0.046 s. Grey 51 while the bins around the tone's (93)
    // are silent, white once they are not.
    Samples track(3 * Rate, 0);
    VexelTest::AddTone(track, Rate, 2000.0, 0.9, 1.01, 1.014);
    const std::string shader =
        Showdown("uniform sampler1D texFFT;\n", "    float sum = 0.0;\n"
                                                "    for (int i = 63; i < 124; ++i) {\n"
                                                "        sum += texelFetch(texFFT, i, 0).r;\n"
                                                "    }\n"
                                                "    out_color = vec4(vec3(sum > 1e-4 ? 1.0 : 0.2), 1.0);\n");
    // The part starts a little late, so its running time is not the timeline's.
    const ProgramRun run = DemoRun(Settings(Part("lib.Shader", "shader=\"click.glsl\"", "", "p", "60", "0.01")), track,
                                   {{"click.glsl", shader}});

    // At 60 fps from 0.95 s: frame 4 (1.0167 s) is the first after the click, frame 7 (1.0667 s) the first clear of it.
    std::vector<int> shown;
    for (const Rgb& pixel : Capture(run, "60", "0.95", "1.1")) {
        shown.push_back(pixel.r);
    }
    EXPECT_EQ(shown, (std::vector<int>{51, 51, 51, 51, 255, 255, 255, 51, 51}));

    // Paused in the player, each second further on.
    ProgramRun play = run;
    play.args = {"--start", "0.02", "--paused", "morvelin.xml"};
    bool before = false, at = false, after = false;
    play.whileRunning = [&](RunningProgram& program) {
        if (program.WaitForOutput("ready at 0:00.020, paused", 30s)) {
            before = CentreBecomes(program, 51);
            program.Key("Right");
            at = program.WaitForOutput("seek to 0:01.020", 5s) && CentreBecomes(program, 255);
            program.Key("Right");
            after = program.WaitForOutput("seek to 0:02.020", 5s) && CentreBecomes(program, 51);
        }
        program.Key("Escape");
    };
    const RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, play);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(before && at && after) << before << at << after << "\n" << result.out;
}

TEST_F(MusicDrivenE2ETest, SmoothedAndIntegratedSpectraAreTheSameAtATimeWhateverTheFrameRateOrFirstFrame)
{
    // Two bursts of a tone on bin 46: its average rises and falls, its sum
    // grows. Red is the average; green and blue the sum, coarse and fine, so
    // a difference in its last bits shows.
    Samples track(3 * Rate, 0);
    VexelTest::AddTone(track, Rate, 46.0 * Rate / 2048, 0.5, 0.3, 0.9);
    VexelTest::AddTone(track, Rate, 46.0 * Rate / 2048, 0.5, 1.4, 2.0);
    const std::string shader =
        Showdown("uniform sampler1D texFFTSmoothed;\nuniform sampler1D texFFTIntegrated;\n",
                 "    float average = texelFetch(texFFTSmoothed, 46, 0).r;\n"
                 "    float sum = texelFetch(texFFTIntegrated, 46, 0).r;\n"
                 "    out_color = vec4(average * 2.0, fract(sum / 16.0), fract(sum * 64.0), 1.0);\n");
    const ProgramRun run =
        DemoRun(Settings(Part("lib.Shader", "shader=\"sums.glsl\"")), track, {{"sums.glsl", shader}});

    const std::vector<Rgb> at60 = Capture(run, "60", "0", "2.4");
    const std::vector<Rgb> at30 = Capture(run, "30", "0", "2.4");
    const std::vector<Rgb> from1 = Capture(run, "60", "1", "2.4");
    ASSERT_EQ(at60.size(), 144u);
    ASSERT_EQ(at30.size(), 72u);
    ASSERT_EQ(from1.size(), 84u);
    const auto same = [](const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; };
    std::set<std::vector<int>> distinct;
    for (std::size_t n = 0; n < at60.size(); ++n) {
        EXPECT_TRUE(n % 2 == 1 || same(at30[n / 2], at60[n])) << "30 fps frame " << n / 2;
        EXPECT_TRUE(n < 60 || same(from1[n - 60], at60[n])) << "frame " << n - 60 << " from 1 s";
        distinct.insert({at60[n].r, at60[n].g, at60[n].b});
    }
    // The values move, so equal frames are not equally empty ones.
    EXPECT_GT(distinct.size(), 80u);
}

TEST_F(MusicDrivenE2ETest, MorvelinAnalysesTheMusicOnlyForAFileThatReadsIt)
{
    Samples track(2 * Rate, 0);
    VexelTest::AddTone(track, Rate, 100.0, 0.5, 0.0, 2.0);
    const std::string plain = Showdown("", "    out_color = vec4(1.0);\n");
    const std::string spectrum =
        Showdown("uniform sampler1D texFFT;\n", "    out_color = vec4(texelFetch(texFFT, 5, 0).r);\n");
    const struct
    {
        std::string parts;
        bool analysed;
    } cases[] = {
        {Part("lib.ClearScreen", "color=\"0 0 90\"") + Part("lib.Shader", "shader=\"plain.glsl\"", "", "q"), false},
        {Part("lib.ClearScreen", "", "      <react key=\"color\" band=\"40-160\" from=\"0 0 0\" to=\"0 0 255\"/>\n"),
         true},
        {Part("lib.Shader", "shader=\"spectrum.glsl\""), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parts);
        ProgramRun run = DemoRun(Settings(c.parts), track, {{"plain.glsl", plain}, {"spectrum.glsl", spectrum}});
        std::string maps;
        run.whileRunning = [&maps](RunningProgram& program) {
            if (program.WaitForOutput("Music length ", 30s)) {
                maps = VexelTest::ReadFile("/proc/" + std::to_string(program.Pid()) + "/maps");
            }
            program.Key("Escape");
        };
        const RunResult result = VexelTest::RunMorvelin(run);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        ASSERT_NE(maps, "");
        // The decoder module comes in with the first decoding.
        EXPECT_EQ(maps.find("libvexel_soundtrack.so") != std::string::npos, c.analysed);
    }
}

TEST_F(MusicDrivenE2ETest, AReactingKeyFollowsItsBandsEnvelopeOnScreenInEveryPartClass)
{
    // Low thumps on the beat, and higher ticks between them that the band
    // leaves out.
    Samples track(3 * Rate, 0);
    for (double beat = 0.25; beat < 3.0; beat += 0.5) {
        VexelTest::AddTone(track, Rate, 80.0, 0.8, beat, beat + 0.08);
        VexelTest::AddTone(track, Rate, 6000.0, 0.8, beat + 0.25, beat + 0.28);
    }
    const std::string react = " band=\"40-160\" attack=\"0.01\" release=\"0.25\"";
    // Parts from 0.42 s (frame 9 on): the value follows the timeline's time, not the part's.
    const auto part = [](const std::string& className, const std::string& params, const std::string& inside) {
        return Part(className, params, inside, "p", "60", "0.42");
    };
    const std::string white = Showdown("", "    out_color = vec4(1.0);\n");
    const std::string tinted = Showdown("uniform vec3 tint;\n", "    out_color = vec4(tint, 1.0);\n");
    const struct
    {
        std::string part;
        std::function<Rgb(double level)> expected;
    } cases[] = {
        {part("lib.ClearScreen", "color=\"9 9 9\"",
              "      <react key=\"color\" from=\"0 40 0\" to=\"0 240 120\"" + react + "/>\n"),
         [](double level) {
             return Rgb{0, static_cast<int>(std::lround(40 + 200 * level)), static_cast<int>(std::lround(120 * level))};
         }},
        {part("lib.Image", "image=\"white.png\" blending=\"transcluent\"",
              "      <react key=\"alpha\" from=\"0.2\" to=\"1\"" + react + "/>\n"),
         [](double level) {
             const int grey = static_cast<int>(std::lround(255 * (0.2 + 0.8 * level)));
             return Rgb{grey, grey, grey};
         }},
        {part("lib.Shader", "shader=\"white.glsl\" blending=\"transcluent\"",
              "      <react key=\"alpha\" from=\"0.2\" to=\"1\"" + react + "/>\n"),
         [](double level) {
             const int grey = static_cast<int>(std::lround(255 * (0.2 + 0.8 * level)));
             return Rgb{grey, grey, grey};
         }},
        {part("lib.Shader", "shader=\"tinted.glsl\"",
              "      <react key=\"tint\" from=\"0 0 0\" to=\"1 0.5 0.25\"" + react + "/>\n"),
         [](double level) {
             return Rgb{static_cast<int>(std::lround(255 * level)), static_cast<int>(std::lround(127.5 * level)),
                        static_cast<int>(std::lround(63.75 * level))};
         }},
    };
    const std::string wav = mOut / "track.wav";
    std::ofstream(wav, std::ios::binary) << VexelTest::WavBytes(track, 1, Rate);
    const BandEnvelope envelope(*MusicAnalysis::FromFile(wav), 40.0, 160.0, 0.01, 0.25);
    const std::string picture = mOut / "white.png";
    VexelTest::ShellOutput("ffmpeg -v error -f lavfi -i color=c=white:s=8x8 -frames:v 1 '" + picture + "'");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        ProgramRun run = DemoRun(Settings(c.part), track, {{"white.glsl", white}, {"tinted.glsl", tinted}});
        run.copies.push_back({picture, "data/textures/white.png"});
        const std::vector<Rgb> shown = Capture(run, "20", "0", "2", 8, 4);
        ASSERT_EQ(shown.size(), 40u);
        double lowest = 1.0, highest = 0.0;
        for (std::size_t n = 0; n < shown.size(); ++n) {
            const double level = envelope.At(n / 20.0);
            const Rgb expected = n < 9 ? Rgb{0, 0, 0} : c.expected(level);
            lowest = std::min(lowest, n < 9 ? 1.0 : level);
            highest = std::max(highest, level);
            EXPECT_TRUE(std::abs(shown[n].r - expected.r) <= 2 && std::abs(shown[n].g - expected.g) <= 2 &&
                        std::abs(shown[n].b - expected.b) <= 2)
                << "frame " << n << ": " << shown[n].r << " " << shown[n].g << " " << shown[n].b << ", not "
                << expected.r << " " << expected.g << " " << expected.b;
        }
        // Each beat lifts it, and it falls back between them.
        EXPECT_LT(lowest, 0.3);
        EXPECT_GT(highest, 0.9);
    }
}

TEST_F(MusicDrivenE2ETest, EveryBadReactIsReportedAtItsAttributeByTheCheckAndStopsMorvelin)
{
    const struct
    {
        std::string className;
        std::string params;
        std::string inside; // the react element's attributes, or the part's whole inside with "<react"
        std::string message;
        std::string attribute; // empty: at the element
    } cases[] = {
        {"lib.Image", "image=\"star.png\"", "band=\"40-160\" from=\"0\" to=\"1\"", "a react element has no key", ""},
        {"lib.Image", "image=\"star.png\"", "key=\"spin\" band=\"40-160\" from=\"0\" to=\"1\"",
         "lib.Image cannot react with \"spin\" (it animates alpha, rotate, relativeWidth, relativeHeight, "
         "relativeX, relativeY)",
         "key"},
        {"lib.TestPartVao", "", "key=\"alpha\" band=\"40-160\" from=\"0\" to=\"1\"",
         "lib.TestPartVao cannot react with \"alpha\" (it animates nothing)", "key"},
        {"lib.Shader", "shader=\"tint.glsl\"", "key=\"speed\" band=\"40-160\" from=\"0\" to=\"1\"",
         "lib.Shader cannot react with \"speed\" (it animates alpha, time, tint)", "key"},
        {"lib.Image", "image=\"star.png\"", "key=\"alpha\" from=\"0\" to=\"1\"",
         "react \"alpha\" needs a band attribute", ""},
        {"lib.Image", "image=\"star.png\"", "key=\"alpha\" band=\"40-160\" to=\"1\"",
         "react \"alpha\" needs a from attribute", ""},
        {"lib.Image", "image=\"star.png\"", "key=\"alpha\" band=\"40-160\" from=\"0\"",
         "react \"alpha\" needs a to attribute", ""},
        {"lib.Image", "image=\"star.png\"", "key=\"alpha\" band=\"bass\" from=\"0\" to=\"1\"",
         "react \"alpha\" band \"bass\" is not two numbers \"low-high\" in Hz", "band"},
        {"lib.Image", "image=\"star.png\"", "key=\"alpha\" band=\"160-40\" from=\"0\" to=\"1\"",
         "react \"alpha\" band \"160-40\" is not within 0 <= low < high <= 22050 Hz", "band"},
        {"lib.Image", "image=\"star.png\"", "key=\"alpha\" band=\"-20-100\" from=\"0\" to=\"1\"",
         "react \"alpha\" band \"-20-100\" is not within 0 <= low < high <= 22050 Hz", "band"},
        {"lib.Image", "image=\"star.png\"", "key=\"alpha\" band=\"40-30000\" from=\"0\" to=\"1\"",
         "react \"alpha\" band \"40-30000\" is not within 0 <= low < high <= 22050 Hz", "band"},
        {"lib.Image", "image=\"star.png\"", "key=\"alpha\" band=\"40-160\" from=\"half\" to=\"1\"",
         "react \"alpha\" from \"half\" is not a number", "from"},
        {"lib.ClearScreen", "", "key=\"color\" band=\"40-160\" from=\"0 0 0\" to=\"255 0\"",
         "react \"color\" to \"255 0\" is not a colour \"r g b\"", "to"},
        {"lib.Shader", "shader=\"tint.glsl\"", "key=\"tint\" band=\"40-160\" from=\"1 0\" to=\"1 1 1\"",
         "react \"tint\" from \"1 0\" is not a vec3 \"x y z\"", "from"},
        {"lib.Image", "image=\"star.png\"", "key=\"alpha\" band=\"40-160\" from=\"0\" to=\"1\" attack=\"soon\"",
         "react \"alpha\" attack \"soon\" is not a number", "attack"},
        {"lib.Image", "image=\"star.png\"", "key=\"alpha\" band=\"40-160\" from=\"0\" to=\"1\" release=\"-0.1\"",
         "react \"alpha\" release \"-0.1\" is negative", "release"},
        {"lib.Image", "image=\"star.png\"",
         "      <animate key=\"alpha\" times=\"0 1\" values=\"0 1\"/>\n"
         "      <react key=\"alpha\" band=\"40-160\" from=\"0\" to=\"1\"/>\n",
         "react \"alpha\" is animated too: a key either animates or reacts", "key"},
    };
    const std::string tint = Showdown("uniform vec3 tint;\n", "    out_color = vec4(tint, 1.0);\n");
    const Samples track(2 * Rate, 0);
    // Every case a part of one file for the check, and a file of its own for morvelin.
    std::string parts;
    Lines expected;
    int line = 6;
    for (const auto& c : cases) {
        const std::string inside =
            c.inside.find("<react") != std::string::npos ? c.inside : "      <react " + c.inside + "/>\n";
        const std::string part = Part(c.className, c.params, inside, "p", "2");
        parts += part;
        // The react element's line, and where it or its attribute stands.
        const std::size_t start = part.find("<react");
        const int at = line + static_cast<int>(std::count(part.begin(), part.begin() + start, '\n'));
        const std::size_t lineStart = part.rfind('\n', start) + 1;
        const std::size_t column = c.attribute.empty() ? start : part.find(" " + c.attribute + "=", start) + 1;
        expected.push_back("morvelin.xml:" + std::to_string(at) + ":" + std::to_string(column - lineStart + 1) +
                           ": error: part \"p\": " + c.message);
        line += static_cast<int>(std::count(part.begin(), part.end(), '\n'));

        SCOPED_TRACE(c.message);
        const RunResult result = VexelTest::RunMorvelin(DemoRun(Settings(part), track, {{"tint.glsl", tint}}));
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.ErrLines(), Lines{"FATAL: part \"p\": " + c.message + FatalAt});
    }
    // Good ones beside them say nothing: a band of numbers with exponents, every attribute.
    parts += Part("lib.Image", "image=\"star.png\"",
                  "      <react key=\"rotate\" band=\"1e1-2.2e4\" from=\"0\" to=\"90\" attack=\"0\" release=\"1\"/>\n",
                  "p", "2");
    expected.push_back(std::to_string(std::size(cases)) + " errors, 0 warnings");
    ProgramRun check = DemoRun(Settings(parts), track, {{"tint.glsl", tint}});
    check.args = {"--check", "morvelin.xml"};
    const RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, check);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(result.OutLines(), expected);
}
