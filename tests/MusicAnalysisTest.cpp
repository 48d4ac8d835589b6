#include "Audio/MusicAnalysis.h"
#include "Audio/BandEnvelope.h"
#include "Audio/MusicFrames.h"
#include "Audio/SoundtrackAnalysis.h"

#include "TempFolder.h"
#include "TestSounds.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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
// The frequency at the centre of a bin.
constexpr double BinHz = static_cast<double>(Rate) / WindowedFft::Size;

std::shared_ptr<const MusicAnalysis> Analyse(Samples samples)
{
    return std::make_shared<const MusicAnalysis>(std::move(samples));
}

Samples Silence(double seconds, int rate = Rate)
{
    return Samples(static_cast<std::size_t>(seconds * rate), 0);
}

// Everything the frames hold at one time.
struct Snapshot
{
    explicit Snapshot(const MusicFrames& frames)
        : fft(frames.Fft(), frames.Fft() + Bins)
        , smoothed(frames.Smoothed(), frames.Smoothed() + Bins)
        , integrated(frames.Integrated(), frames.Integrated() + Bins)
        , music(frames.MusicTexture(), frames.MusicTexture() + 2 * Width)
    {
    }
    bool operator==(const Snapshot& other) const
    {
        return fft == other.fft && smoothed == other.smoothed && integrated == other.integrated && music == other.music;
    }

    std::vector<float> fft;
    std::vector<float> smoothed;
    std::vector<float> integrated;
    std::vector<std::uint8_t> music;
};

Snapshot At(MusicFrames& frames, double time)
{
    frames.MoveTo(time);
    return Snapshot(frames);
}

// Web Audio's byte for a sine of amplitude centred on a bin: its Blackman
// window passes 0.42 of it, and a bin holds half a sine's amplitude.
int MusicByte(double amplitude)
{
    const double decibels = 20.0 * std::log10(amplitude * 0.42 / 2.0);
    return std::clamp(static_cast<int>(std::floor(255.0 / 70.0 * (decibels + 100.0))), 0, 255);
}

} // namespace

TEST(MusicAnalysisTest, ASineLightsItsBinAtItsLevelInEveryInput)
{
    VexelTest::TempFolder folder;
    struct Case
    {
        const char* input;
        double hz;
        double amplitude;
        int bin;
        // The level read in the bin: the amplitude, less between bins.
        double low;
        double high;
        bool checkByte;
    };
    const Case cases[] = {
        {"samples", 10 * BinHz, 1.0, 10, 0.998, 1.0, true},
        {"samples", 100 * BinHz, 0.01, 100, 0.0099, 0.0101, true},
        {"samples", 100 * BinHz, 0.001, 100, 0.00099, 0.00101, true},
        {"samples", 440.0, 0.25, 20, 0.25 * 0.8, 0.25, false},
        {"samples", 700 * BinHz, 0.5, 700, 0.499, 0.501, false},
        // Decoded by FFmpeg, resampled to the analysis rate.
        {"stereo at 48 kHz", 100 * BinHz, 0.5, 100, 0.495, 0.505, true},
        // The mono mix halves a sound in one channel only.
        {"left channel only", 100 * BinHz, 0.8, 100, 0.395, 0.405, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.input) + " " + std::to_string(c.hz));
        std::shared_ptr<const MusicAnalysis> analysis;
        const std::string input = c.input;
        if (input == "samples") {
            Samples samples = Silence(2.0);
            AddTone(samples, Rate, c.hz, c.amplitude, 0.0, 2.0);
            analysis = Analyse(samples);
        } else {
            const int rate = input == "stereo at 48 kHz" ? 48000 : Rate;
            Samples mono = Silence(2.0, rate);
            AddTone(mono, rate, c.hz, c.amplitude, 0.0, 2.0);
            Samples stereo;
            for (std::int16_t sample : mono) {
                stereo.push_back(sample);
                stereo.push_back(input == "left channel only" ? 0 : sample);
            }
            VexelTest::WriteWav(folder / "tone.wav", stereo, 2, rate);
            analysis = MusicAnalysis::FromFile(folder / "tone.wav");
            EXPECT_NEAR(analysis->Duration(), 2.0, 1e-3);
        }
        MusicFrames frames(analysis);
        const Snapshot at = At(frames, 1.0);
        const auto loudest = std::max_element(at.fft.begin(), at.fft.end()) - at.fft.begin();
        EXPECT_EQ(loudest, c.bin);
        EXPECT_GE(at.fft[c.bin], c.low);
        EXPECT_LE(at.fft[c.bin], c.high);
        // Hann's leakage stays near the bin.
        for (int k = 0; k < Bins; ++k) {
            if (std::abs(k - c.bin) > 3) {
                ASSERT_LT(at.fft[k], 0.02 * at.fft[c.bin]) << "bin " << k;
            }
        }
        if (c.checkByte) {
            EXPECT_NEAR(at.music[c.bin], MusicByte(at.fft[c.bin]), 1);
        }
    }
}

TEST(MusicAnalysisTest, AClickLightsTheSpectrumFromTheSampleAfterItUntilItLeavesTheWindow)
{
    const std::int64_t clicks[] = {30 * MusicAnalysis::StepSamples, 30 * MusicAnalysis::StepSamples + 400, 12345};
    const struct
    {
        std::int64_t after;
        bool heard;
    } offsets[] = {{0, false}, {1, true}, {WindowedFft::Size - 1, true}, {WindowedFft::Size, false}};
    for (const std::int64_t click : clicks) {
        Samples samples = Silence(2.0);
        samples[static_cast<std::size_t>(click)] = 16384;
        MusicFrames frames(Analyse(samples));
        for (const auto& offset : offsets) {
            SCOPED_TRACE("click at " + std::to_string(click) + ", " + std::to_string(offset.after) + " after");
            const Snapshot at = At(frames, static_cast<double>(click + offset.after) / Rate);
            const float energy = std::accumulate(at.fft.begin(), at.fft.end(), 0.0f);
            EXPECT_EQ(energy > 0.0f, offset.heard) << energy;
            if (offset.after <= 1) {
                const float smoothed = std::accumulate(at.smoothed.begin(), at.smoothed.end(), 0.0f);
                EXPECT_EQ(smoothed > 0.0f, offset.heard) << smoothed;
                // The waveform row ends with the last sample heard: 0.5 is 192.
                EXPECT_EQ(at.music[2 * Width - 1], offset.heard ? 192 : 128);
            }
        }
    }
}

TEST(MusicAnalysisTest, EveryValueIsTheSameHoweverItsTimeIsReached)
{
    // Noise bursts and tones, so every bin moves.
    Samples samples = Silence(4.0);
    std::uint32_t noise = 12345;
    for (std::size_t n = 0; n < samples.size(); ++n) {
        noise = noise * 1664525u + 1013904223u;
        const double burst = std::fmod(static_cast<double>(n) / Rate, 0.5) < 0.1 ? 0.4 : 0.02;
        samples[n] = VexelTest::SampleOf(burst * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5));
    }
    AddTone(samples, Rate, 330.0, 0.3, 1.0, 3.0);
    const std::shared_ptr<const MusicAnalysis> analysis = Analyse(samples);

    struct Path
    {
        const char* name;
        double from;
        double fps;
        int frames;
    };
    const Path paths[] = {
        {"playing at 60 fps", 0.0, 60.0, 300},         {"playing at 30 fps", 0.0, 30.0, 150},
        {"capture at 30 fps from 1.5", 1.5, 30.0, 90}, {"playing at 144 fps", 0.0, 144.0, 700},
        {"seeking backwards", 5.0, -7.0, 40},
    };
    std::map<std::int64_t, Snapshot> seen;
    int again = 0;
    for (const Path& path : paths) {
        MusicFrames frames(analysis);
        for (int n = 0; n < path.frames; ++n) {
            const double time = path.from + n / path.fps;
            const Snapshot snapshot = At(frames, time);
            const auto found = seen.emplace(MusicAnalysis::SampleAt(time), snapshot);
            ASSERT_TRUE(found.first->second == snapshot) << path.name << " at " << time;
            again += found.second ? 0 : 1;
        }
    }
    // Every 30 fps frame, from 0 or from 1.5, is also a 60 fps frame.
    EXPECT_GE(again, 150 + 90);
    // A jump from nothing straight to the time: from the checkpoint.
    for (const auto& entry : seen) {
        MusicFrames fresh(analysis);
        const double time = static_cast<double>(entry.first) / Rate;
        ASSERT_EQ(MusicAnalysis::SampleAt(time), entry.first);
        ASSERT_TRUE(At(fresh, time) == entry.second) << "jump to " << time;
    }
}

TEST(MusicAnalysisTest, TheRunningValuesFollowTheirTimeConstants)
{
    // A steady sine on bin 100 from 0.5 s to 3 s, quiet enough for the
    // music texture's range; the window is clear of it from 3 s + 2048
    // samples on.
    const double amplitude = 0.08;
    Samples samples = Silence(5.0);
    AddTone(samples, Rate, 100 * BinHz, amplitude, 0.5, 3.0);
    MusicFrames frames(Analyse(samples));
    const Snapshot early = At(frames, 1.5);
    const Snapshot steady = At(frames, 2.5);
    EXPECT_NEAR(steady.smoothed[100], amplitude, 0.0002);
    EXPECT_EQ(steady.music[100], MusicByte(amplitude));
    // 60 times the value a second.
    EXPECT_NEAR(steady.integrated[100] - early.integrated[100], 60.0 * amplitude, 0.01);

    const double quiet = 3.0 + 2048.0 / Rate;
    const struct
    {
        double from;
        double seconds;
    } fades[] = {{quiet, 0.15}, {quiet + 0.0071, 0.15}, {quiet + 0.01, 0.3}, {quiet + 0.2, 0.0123}};
    for (const auto& fade : fades) {
        SCOPED_TRACE("from " + std::to_string(fade.from) + " for " + std::to_string(fade.seconds));
        const Snapshot before = At(frames, fade.from);
        const Snapshot after = At(frames, fade.from + fade.seconds);
        EXPECT_NEAR(after.smoothed[100] / before.smoothed[100], std::exp(-fade.seconds / 0.15), 1e-4);
        EXPECT_EQ(after.integrated[100], before.integrated[100]);
        // Web Audio's smoothing: 0.8 a step, about 1.94 dB, in bytes of 70/255 dB.
        const double drop = -20.0 * std::log10(0.8) * fade.seconds * 60.0 * 255.0 / 70.0;
        EXPECT_NEAR(before.music[100] - after.music[100], drop, 1.01);
    }
}

TEST(MusicAnalysisTest, BeforeTheFirstSampleAndAfterTheLastTheTrackIsSilence)
{
    Samples samples = Silence(1.0);
    AddTone(samples, Rate, 100 * BinHz, 0.5, 0.0, 1.0);
    const std::shared_ptr<const MusicAnalysis> analysis = Analyse(samples);
    MusicFrames frames(analysis);
    const std::vector<std::uint8_t> silentWave(Width, 128);
    for (const double time : {-100.0, -1.0, -0.001, 0.0}) {
        SCOPED_TRACE(time);
        const Snapshot at = At(frames, time);
        EXPECT_EQ(at.fft, std::vector<float>(Bins, 0.0f));
        EXPECT_EQ(at.smoothed, std::vector<float>(Bins, 0.0f));
        EXPECT_EQ(at.integrated, std::vector<float>(Bins, 0.0f));
        EXPECT_EQ(std::vector<std::uint8_t>(at.music.begin(), at.music.begin() + Width),
                  std::vector<std::uint8_t>(Width, 0));
        EXPECT_EQ(std::vector<std::uint8_t>(at.music.begin() + Width, at.music.end()), silentWave);
    }
    const Snapshot end = At(frames, 1.0 + 2048.0 / Rate);
    for (const double after : {0.1, 1.0, 100.0, 1e9}) {
        SCOPED_TRACE(after);
        const Snapshot at = At(frames, 1.0 + 2048.0 / Rate + after);
        EXPECT_EQ(at.fft, std::vector<float>(Bins, 0.0f));
        EXPECT_NEAR(at.smoothed[100], end.smoothed[100] * std::exp(-after / 0.15), 1e-6);
        EXPECT_EQ(at.integrated, end.integrated);
        EXPECT_EQ(std::vector<std::uint8_t>(at.music.begin() + Width, at.music.end()), silentWave);
    }
    EXPECT_EQ(At(frames, 1.0 + 2048.0 / Rate + 1.0).music[100], 0);
}

TEST(MusicAnalysisTest, ABandFollowsItsLoudnessThroughItsEnvelope)
{
    // Bin 5 (108 Hz) at half level for a second, then at full level; 2 kHz
    // throughout, outside the band.
    Samples samples = Silence(6.0);
    AddTone(samples, Rate, 5 * BinHz, 0.45, 1.0, 2.0);
    AddTone(samples, Rate, 5 * BinHz, 0.9, 3.0, 3.5);
    AddTone(samples, Rate, 2000.0, 0.05, 0.0, 6.0);
    const std::shared_ptr<const MusicAnalysis> analysis = Analyse(samples);
    const double clear = 2048.0 / Rate;
    struct Case
    {
        double low;
        double high;
        double attack;
        double release;
        double time;
        double expected;
        double tolerance;
    };
    const Case cases[] = {
        {40, 160, 0.0, 0.25, 0.5, 0.0, 0.001},
        {40, 160, 0.0, 0.25, 1.5, 0.5, 0.03},
        {40, 160, 0.0, 0.25, 3.25, 1.0, 0.001},
        // Falls with the release once the window is clear of the sound.
        {40, 160, 0.0, 0.25, 2.0 + clear + 0.25, 0.5 * std::exp(-1.0), 0.03},
        {40, 160, 0.0, 0.0, 2.0 + clear + 0.02, 0.0, 0.001},
        // Rises with the attack once the window is full of it.
        {40, 160, 0.2, 0.25, 3.0 + 0.2, 1.0 - std::exp(-1.0), 0.05},
        // A band narrower than a bin takes the nearest one.
        {107, 109, 0.0, 0.25, 3.25, 1.0, 0.001},
        // Only the clicks where the low tone starts and stops reach this band.
        {5000, 10000, 0.0, 0.25, 3.25, 0.0, 0.02},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.low) + "-" + std::to_string(c.high) + " Hz at " + std::to_string(c.time));
        const BandEnvelope band(*analysis, c.low, c.high, c.attack, c.release);
        EXPECT_NEAR(band.At(c.time), c.expected, c.tolerance);
        EXPECT_LE(band.FirstBin(), band.LastBin());
    }
    // A steady tone reads steadily, and past the end of the track falls with the release.
    const BandEnvelope high(*analysis, 1900, 2100, 0.0, 0.25);
    EXPECT_GT(high.At(4.5), 0.8f);
    EXPECT_NEAR(high.At(5.5), high.At(4.5), 2e-3);
    EXPECT_NEAR(high.At(6.0 + clear + 0.25) / high.At(6.0 + clear), std::exp(-1.0), 0.01);
}

TEST(MusicAnalysisTest, PeaksFollowTheWaveformAndTheDataStaysSmall)
{
    Samples samples = Silence(60.0);
    AddTone(samples, Rate, 1000.0, 0.25, 10.5, 19.5);
    AddTone(samples, Rate, 1000.0, 0.75, 45.2, 45.4);
    const std::shared_ptr<const MusicAnalysis> analysis = Analyse(samples);
    const std::vector<float> peaks = analysis->Peaks(0.0, 60.0, 60);
    ASSERT_EQ(peaks.size(), 60u);
    const struct
    {
        int column;
        float peak;
    } columns[] = {{0, 0.0f}, {9, 0.0f}, {10, 0.25f}, {19, 0.25f}, {20, 0.0f}, {45, 0.75f}, {59, 0.0f}};
    for (const auto& column : columns) {
        EXPECT_NEAR(peaks[column.column], column.peak, 0.005) << column.column;
    }
    // A column narrower than a block shows the block it lies in; past the end, nothing.
    EXPECT_NEAR(analysis->Peaks(45.3, 45.3001, 1)[0], 0.75f, 0.005);
    EXPECT_EQ(analysis->Peaks(70.0, 80.0, 4), std::vector<float>(4, 0.0f));
    // Ten minutes within 150 MB.
    EXPECT_LE(analysis->Bytes() * 10, 150u * 1000 * 1000);
}

TEST(MusicAnalysisTest, ASoundtrackThatCannotBeReadSaysWhy)
{
    VexelTest::TempFolder folder;
    Samples tone = Silence(1.5);
    AddTone(tone, Rate, 1000.0, 0.5, 0.0, 1.5);
    VexelTest::WriteWav(folder / "tone.wav", tone, 1, Rate);
    VexelTest::WriteWav(folder / "empty.wav", Samples(), 1, Rate);
    std::ofstream(folder / "notes.txt") << "not music\n";
    ASSERT_EQ(::mkfifo((folder / "pipe.ogg").c_str(), 0600), 0);
    const struct
    {
        const char* file;
        std::string failure;
        double duration;
    } cases[] = {
        {"tone.wav", "", 1.5},
        {"empty.wav", "", 0.0},
        {"none.ogg", "cannot open it: No such file or directory", 0.0},
        {"notes.txt", "cannot open it: Invalid data found when processing input", 0.0},
        {"pipe.ogg", "it is not a regular file", 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        SoundtrackAnalysis soundtrack(folder / c.file);
        if (c.failure.empty()) {
            EXPECT_NEAR(soundtrack.Get()->Duration(), c.duration, 1e-3);
            EXPECT_EQ(soundtrack.IfReady(), soundtrack.Get());
            EXPECT_EQ(soundtrack.Failure(), "");
            continue;
        }
        const std::string expected = "cannot read the soundtrack " + (folder / c.file) + ": " + c.failure;
        try {
            soundtrack.Get();
            ADD_FAILURE() << "it was read";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), expected);
        }
        EXPECT_EQ(soundtrack.IfReady(), nullptr);
        EXPECT_EQ(soundtrack.Failure(), expected);
    }
}
