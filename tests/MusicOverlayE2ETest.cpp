#include "ProgramRunner.h"
#include "TestSounds.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Shot = std::vector<unsigned char>;

namespace {

constexpr int Width = 1280;
constexpr int Height = 720;
using ColourTest = bool (*)(const unsigned char* rgb);
// The waveform's light blue, and the spectrum's yellow.
const ColourTest Waveform = [](const unsigned char* rgb) { return rgb[2] > rgb[0] + 40; };
const ColourTest Spectrum = [](const unsigned char* rgb) { return rgb[0] > 150 && rgb[1] > 100 && rgb[2] < 80; };

// Pixels of a region of a screenshot in the colour.
int Count(const Shot& shot, int x0, int x1, int y0, int y1, ColourTest colour)
{
    int count = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            count += colour(&shot[(static_cast<std::size_t>(y) * Width + x) * 3]) ? 1 : 0;
        }
    }
    return count;
}

// The waveform's height at a time: the strip spans the window less ImGui's
// padding of 8 a side, from 0 to the end of the last part at 8 s.
int WaveAt(const Shot& shot, double seconds)
{
    const int x = 8 + static_cast<int>(seconds / 8.0 * (Width - 16));
    return Count(shot, x - 2, x + 3, Height - 100, Height, Waveform) / 5;
}

} // namespace

TEST(MusicOverlayE2ETest, TheStripShowsTheWaveformAndTheStatusTheSpectrumOfTheTime)
{
    // Four seconds of silence, then four of a 1 kHz tone.
    VexelTest::Samples sound(8 * 44100, 0);
    VexelTest::AddTone(sound, 44100, 1000.0, 0.8, 4.0, 8.0);
    VexelTest::ProgramRun run;
    run.args = {"show/demo.xml", "--start", "6", "--paused"};
    run.files["show/demo.xml"] = "<Halvorn-demo-settings><soundtrack file=\"data/music/tone.wav\"/><demoparts>"
                                 "<part start=\"0\" end=\"8\" name=\"black\" class=\"lib.ClearScreen\" priority=\"0\"/>"
                                 "</demoparts></Halvorn-demo-settings>\n";
    run.files["show/data/music/tone.wav"] = VexelTest::WavBytes(sound, 1, 44100);
    Shot tone, silence;
    run.whileRunning = [&](VexelTest::RunningProgram& program) {
        // Each shot once the analysis, made meanwhile, shows.
        const auto shotWhen = [&program](const std::function<bool(const Shot&)>& done) {
            Shot shot;
            for (int attempt = 0; attempt < 50 && !(shot.size() == Width * Height * 3u && done(shot)); ++attempt) {
                std::this_thread::sleep_for(100ms);
                shot = program.Screenshot();
            }
            return shot;
        };
        if (program.WaitForOutput("ready at 0:06.000, paused\n", 30s)) {
            tone = shotWhen([](const Shot& shot) { return WaveAt(shot, 5.0) > 10; });
            program.Key("Home");
            program.WaitForOutput("seek to 0:00.000\n", 10s);
            silence = shotWhen([](const Shot& shot) { return Count(shot, 0, 640, 0, 200, Spectrum) == 0; });
        }
        program.Key("Escape");
    };
    const VexelTest::RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    ASSERT_EQ(tone.size(), Width * Height * 3u);
    ASSERT_EQ(silence.size(), tone.size());

    // The waveform: a column of the strip's height where the tone plays,
    // next to nothing where it is silent; a seek does not change it.
    for (const double seconds : {1.0, 3.0, 5.0, 7.0}) {
        const bool heard = seconds > 4.0;
        EXPECT_EQ(WaveAt(tone, seconds) > 16, heard) << seconds << ": " << WaveAt(tone, seconds);
        EXPECT_EQ(WaveAt(tone, seconds) <= 2, !heard) << seconds << ": " << WaveAt(tone, seconds);
        EXPECT_EQ(WaveAt(silence, seconds), WaveAt(tone, seconds)) << seconds;
    }
    // The spectrum beside the frame graph: at 6 s the bars around 1 kHz, which
    // lies 0.56 of the way from 30 Hz to 16 kHz in pitch, over the plot's 152
    // pixels from x 268; at 0 s nothing.
    int left = Width;
    int right = 0;
    for (int x = 0; x < 640; ++x) {
        if (Count(tone, x, x + 1, 0, 200, Spectrum) > 0) {
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    const int expected = 268 + static_cast<int>(std::log(1000.0 / 30.0) / std::log(16000.0 / 30.0) * 152);
    EXPECT_LE(left, expected);
    EXPECT_GE(right, expected);
    EXPECT_LE(right - left, 20);
    EXPECT_EQ(Count(silence, 0, 640, 0, 200, Spectrum), 0);
}
