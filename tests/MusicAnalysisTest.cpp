#include "Audio/MusicAnalysis.h"
#include "Audio/BandEnvelope.h"
#include "Audio/MusicFrames.h"

#include "TempFolder.h"
#include "TestSounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

using VexelTest::AddTone;
using VexelTest::Samples;

namespace {

constexpr int Rate = MusicAnalysis::SampleRate;
constexpr int Bins = MusicFrames::Bins;
constexpr int Width = MusicFrames::MusicWidth;
// The frequency at the centre of a bin, and the time the window is clear of a sound.
constexpr double BinHz = static_cast<double>(Rate) / WindowedFft::Size;
constexpr double Clear = static_cast<double>(WindowedFft::Size) / Rate;

std::shared_ptr<const MusicAnalysis> Analyse(Samples samples)
{
    return std::make_shared<const MusicAnalysis>(std::move(samples));
}

Samples Tone(double seconds, double hz, double amplitude, double from, double to, int rate = Rate)
{
    Samples samples(static_cast<std::size_t>(seconds * rate), 0);
    AddTone(samples, rate, hz, amplitude, from, to);
    return samples;
}

// Everything the frames hold at one time.
struct Snapshot
{
    bool operator==(const Snapshot& o) const
    {
        return fft == o.fft && smoothed == o.smoothed && integrated == o.integrated && music == o.music;
    }
    std::vector<float> fft, smoothed, integrated;
    std::vector<std::uint8_t> music;
};

Snapshot At(MusicFrames& frames, double time)
{
    frames.MoveTo(time);
    return {{frames.Fft(), frames.Fft() + Bins},
            {frames.Smoothed(), frames.Smoothed() + Bins},
            {frames.Integrated(), frames.Integrated() + Bins},
            {frames.MusicTexture(), frames.MusicTexture() + 2 * Width}};
}

// Web Audio's byte for a sine centred on a bin: its Blackman window passes
// 0.42 of it, and a bin holds half a sine's amplitude.
int MusicByte(double amplitude)
{
    const double decibels = 20.0 * std::log10(amplitude * 0.42 / 2.0);
    return std::clamp(static_cast<int>(std::floor(255.0 / 70.0 * (decibels + 100.0))), 0, 255);
}

} // namespace

TEST(MusicAnalysisTest, ASineLightsItsBinAtItsLevelFromSamplesAndFiles)
{
    VexelTest::TempFolder folder;
    // rate 0: samples straight in; else a stereo WAV file at that rate, its
    // right channel silent when right is false (the mono mix then halves it).
    const struct
    {
        int rate;
        bool right;
        double hz;
        double amplitude;
        int bin;
        double level;
        double tolerance;
    } cases[] = {
        {0, true, 10 * BinHz, 1.0, 10, 1.0, 0.002},       {0, true, 100 * BinHz, 0.01, 100, 0.01, 1e-4},
        {0, true, 100 * BinHz, 0.001, 100, 0.001, 1e-5},  {0, true, 700 * BinHz, 0.5, 700, 0.5, 0.001},
        {0, true, 440.0, 0.25, 20, 0.225, 0.025},         {48000, true, 100 * BinHz, 0.5, 100, 0.5, 0.005},
        {Rate, false, 100 * BinHz, 0.8, 100, 0.4, 0.005},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " " + std::to_string(c.hz) + " Hz");
        std::shared_ptr<const MusicAnalysis> analysis;
        if (c.rate == 0) {
            analysis = Analyse(Tone(2.0, c.hz, c.amplitude, 0.0, 2.0));
        } else {
            Samples stereo;
            for (std::int16_t sample : Tone(2.0, c.hz, c.amplitude, 0.0, 2.0, c.rate)) {
                stereo.insert(stereo.end(), {sample, c.right ? sample : std::int16_t(0)});
            }
            std::ofstream(folder / "tone.wav", std::ios::binary) << VexelTest::WavBytes(stereo, 2, c.rate);
            analysis = MusicAnalysis::FromFile(folder / "tone.wav");
            EXPECT_NEAR(analysis->Duration(), 2.0, 1e-3);
        }
        MusicFrames frames(analysis);
        const Snapshot at = At(frames, 1.0);
        EXPECT_EQ(std::max_element(at.fft.begin(), at.fft.end()) - at.fft.begin(), c.bin);
        EXPECT_NEAR(at.fft[c.bin], c.level, c.tolerance);
        // Hann's leakage stays near the bin.
        for (int k = 0; k < Bins; ++k) {
            ASSERT_TRUE(std::abs(k - c.bin) <= 3 || at.fft[k] < 0.02 * at.fft[c.bin]) << "bin " << k;
        }
        if (c.bin < Width && c.tolerance < 0.01) {
            EXPECT_NEAR(at.music[c.bin], MusicByte(at.fft[c.bin]), 1);
        }
    }
}

TEST(MusicAnalysisTest, AClickLightsTheSpectrumFromTheSampleAfterItUntilItLeavesTheWindow)
{
    // The Hann window's first sample weighs nothing, so 2048 samples after
    // the click it has gone.
    const std::int64_t step = MusicAnalysis::StepSamples;
    for (const std::int64_t click : {30 * step, 30 * step + 400, std::int64_t(12345)}) {
        Samples samples(2 * Rate, 0);
        samples[static_cast<std::size_t>(click)] = 16384;
        MusicFrames frames(Analyse(samples));
        for (const std::int64_t after : {0, 1, WindowedFft::Size - 1, WindowedFft::Size}) {
            SCOPED_TRACE("click at " + std::to_string(click) + ", " + std::to_string(after) + " after");
            const bool heard = after > 0 && after < WindowedFft::Size;
            const Snapshot at = At(frames, static_cast<double>(click + after) / Rate);
            EXPECT_EQ(std::accumulate(at.fft.begin(), at.fft.end(), 0.0f) > 0.0f, heard);
            if (after <= 1) {
                EXPECT_EQ(std::accumulate(at.smoothed.begin(), at.smoothed.end(), 0.0f) > 0.0f, heard);
                // The waveform row ends with the last sample heard: 0.5 is 192.
                EXPECT_EQ(at.music[2 * Width - 1], heard ? 192 : 128);
            }
        }
    }
}

TEST(MusicAnalysisTest, EveryValueIsTheSameHoweverItsTimeIsReached)
{
    // Noise bursts and a tone, so every bin moves.
    Samples samples = Tone(4.0, 330.0, 0.3, 1.0, 3.0);
    std::uint32_t noise = 12345;
    for (std::size_t n = 0; n < samples.size(); ++n) {
        noise = noise * 1664525u + 1013904223u;
        const double level = std::fmod(static_cast<double>(n) / Rate, 0.5) < 0.1 ? 0.4 : 0.02;
        samples[n] = VexelTest::SampleOf(samples[n] / 32768.0 + level * ((noise >> 8) / double(1 << 24) - 0.5));
    }
    const std::shared_ptr<const MusicAnalysis> analysis = Analyse(samples);
    // Playing at 60, 30 and 144 fps, capturing from 1.5 s at 30 fps, and seeking backwards.
    const struct
    {
        double from;
        double fps;
        int frames;
    } paths[] = {{0.0, 60.0, 300}, {0.0, 30.0, 150}, {1.5, 30.0, 90}, {0.0, 144.0, 700}, {5.0, -7.0, 40}};
    std::map<std::int64_t, Snapshot> seen;
    int again = 0;
    for (const auto& path : paths) {
        MusicFrames frames(analysis);
        for (int n = 0; n < path.frames; ++n) {
            const double time = path.from + n / path.fps;
            const Snapshot snapshot = At(frames, time);
            const auto found = seen.emplace(MusicAnalysis::SampleAt(time), snapshot);
            ASSERT_TRUE(found.first->second == snapshot) << path.fps << " fps from " << path.from << " at " << time;
            again += found.second ? 0 : 1;
        }
    }
    // Every 30 fps frame, from 0 or from 1.5, is also a 60 fps frame.
    EXPECT_GE(again, 150 + 90);
    // And a jump from nothing straight to the time, from its checkpoint.
    for (const auto& [end, snapshot] : seen) {
        MusicFrames fresh(analysis);
        ASSERT_TRUE(At(fresh, static_cast<double>(end) / Rate) == snapshot) << "jump to sample " << end;
    }
}

TEST(MusicAnalysisTest, TheRunningValuesFollowTheirTimeConstantsAndTheTrackIsSilentOutsideIt)
{
    // A sine on bin 100 from 0.5 s to the end at 3 s, quiet enough for the
    // music texture's range.
    const double amplitude = 0.08;
    const std::shared_ptr<const MusicAnalysis> analysis = Analyse(Tone(3.0, 100 * BinHz, amplitude, 0.5, 3.0));
    MusicFrames frames(analysis);
    const std::vector<std::uint8_t> silentWave(Width, 128);
    Snapshot silence{std::vector<float>(Bins), std::vector<float>(Bins), std::vector<float>(Bins),
                     std::vector<std::uint8_t>(2 * Width, 128)};
    std::fill_n(silence.music.begin(), Width, 0);
    for (const double time : {-100.0, -0.001, 0.0}) {
        EXPECT_TRUE(At(frames, time) == silence) << time;
    }
    const Snapshot early = At(frames, 1.5);
    const Snapshot steady = At(frames, 2.5);
    EXPECT_NEAR(steady.smoothed[100], amplitude, 0.0002);
    EXPECT_EQ(steady.music[100], MusicByte(amplitude));
    // 60 times the value a second.
    EXPECT_NEAR(steady.integrated[100] - early.integrated[100], 60.0 * amplitude, 0.01);

    // After the last sample: the averages fade, across steps and past the
    // last one, and the sum holds.
    const double quiet = 3.0 + Clear;
    const struct
    {
        double from;
        double seconds;
    } fades[] = {{quiet, 0.15}, {quiet + 0.0071, 0.15}, {quiet + 0.01, 0.3}, {quiet + 0.2, 0.0123}, {quiet, 100.0}};
    for (const auto& fade : fades) {
        SCOPED_TRACE("from " + std::to_string(fade.from) + " for " + std::to_string(fade.seconds));
        const Snapshot before = At(frames, fade.from);
        const Snapshot after = At(frames, fade.from + fade.seconds);
        EXPECT_EQ(after.fft, std::vector<float>(Bins));
        EXPECT_NEAR(after.smoothed[100] / before.smoothed[100], std::exp(-fade.seconds / 0.15), 1e-4);
        EXPECT_EQ(after.integrated, before.integrated);
        // Web Audio's smoothing: 0.8 a step, about 1.94 dB, in bytes of 70/255 dB.
        const double drop = -20.0 * std::log10(0.8) * fade.seconds * 60.0 * 255.0 / 70.0;
        EXPECT_NEAR(before.music[100] - after.music[100], std::min<double>(drop, before.music[100]), 1.01);
        EXPECT_EQ(std::vector<std::uint8_t>(after.music.begin() + Width, after.music.end()), silentWave);
    }
    // Ten minutes within 150 MB.
    EXPECT_LE(analysis->Bytes() * 200, 150u * 1000 * 1000);
}

TEST(MusicAnalysisTest, ABandFollowsItsLoudnessThroughItsEnvelope)
{
    // Bin 5 (108 Hz) at half level from 1 s to 2 s and at full level from 3 s
    // to 3.5 s; a steady 2 kHz tone throughout, outside the band.
    Samples samples = Tone(6.0, 5 * BinHz, 0.45, 1.0, 2.0);
    AddTone(samples, Rate, 5 * BinHz, 0.9, 3.0, 3.5);
    AddTone(samples, Rate, 2000.0, 0.05, 0.0, 6.0);
    const std::shared_ptr<const MusicAnalysis> analysis = Analyse(samples);
    const struct
    {
        double low, high, attack, release, time, expected, tolerance;
    } cases[] = {
        {40, 160, 0.0, 0.25, 0.5, 0.0, 0.001},
        {40, 160, 0.0, 0.25, 1.5, 0.5, 0.03},
        {40, 160, 0.0, 0.25, 3.25, 1.0, 0.001},
        // Falls with the release once the window is clear of the sound, at
        // once without one; rises with the attack once the sound begins.
        {40, 160, 0.0, 0.25, 2.0 + Clear + 0.25, 0.5 * std::exp(-1.0), 0.03},
        {40, 160, 0.0, 0.0, 2.0 + Clear + 0.02, 0.0, 0.001},
        {40, 160, 0.2, 0.25, 3.2, 1.0 - std::exp(-1.0), 0.08},
        // A band narrower than a bin takes the nearest one.
        {107, 109, 0.0, 0.25, 3.25, 1.0, 0.001},
        // Only the clicks where the low tone starts and stops reach this band.
        {5000, 10000, 0.0, 0.25, 3.25, 0.0, 0.02},
    };
    for (const auto& c : cases) {
        const BandEnvelope band(*analysis, c.low, c.high, c.attack, c.release);
        EXPECT_NEAR(band.At(c.time), c.expected, c.tolerance) << c.low << "-" << c.high << " Hz at " << c.time;
    }
    // A steady tone reads steadily, and past the end of the track falls with the release.
    const BandEnvelope high(*analysis, 1900, 2100, 0.0, 0.25);
    EXPECT_GT(high.At(4.5), 0.8f);
    EXPECT_NEAR(high.At(5.5), high.At(4.5), 2e-3);
    EXPECT_NEAR(high.At(6.0 + Clear + 0.25) / high.At(6.0 + Clear), std::exp(-1.0), 0.01);
}
