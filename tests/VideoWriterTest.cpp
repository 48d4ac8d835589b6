#include "Audio/SoundtrackDecoder.h"
#include "VideoWriter.h"

#include "ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>

// Containers, PNG sequences, sync and determinism are checked end to end
// through --capture; here only what a capture cannot reach.
namespace fs = std::filesystem;
using VexelTest::ShellOutput;

namespace {

constexpr int Width = 64;
constexpr int Height = 48;
constexpr int Fps = 30;
constexpr int Rate = 48000;

// Frames of a ramp, the sound a quiet tone.
void WriteFrames(VideoWriter& writer, const std::string& out, int frames)
{
    writer.Open(out, Width, Height, Fps, Rate, std::vector<std::int16_t>(frames * Rate / Fps * 2, 1000));
    std::vector<std::uint8_t> rgb(Width * Height * 3);
    for (size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = static_cast<std::uint8_t>(i);
    }
    for (int n = 0; n < frames; ++n) {
        writer.WriteFrame(rgb.data());
    }
}

std::string Probe(const std::string& file, const std::string& entries)
{
    return ShellOutput("ffprobe -v error -count_frames -show_entries " + entries + " -of csv=p=0 '" + file + "'");
}

// The time of the first sample louder than a quiet tone, -1 if none.
double ClickTime(const std::vector<std::int16_t>& sound)
{
    for (size_t i = 0; i < sound.size(); ++i) {
        if (std::abs(sound[i]) > 10000) {
            return static_cast<double>(i / 2) / Rate;
        }
    }
    return -1.0;
}

} // namespace

TEST(VideoWriterTest, AWriterGoneWithoutFinishLeavesAPlayableFile)
{
    VexelTest::TempFolder folder;
    {
        VideoWriter writer;
        WriteFrames(writer, folder / "stopped.mkv", 10);
    }
    const std::string streams = Probe(folder / "stopped.mkv", "stream=codec_type,nb_read_frames");
    EXPECT_EQ(streams.rfind("video,10\naudio,", 0), 0u) << streams;
}

TEST(VideoWriterTest, AFileThatCannotBeWrittenIsRemovedAndWhatWasAtOutStays)
{
    VexelTest::TempFolder folder;
    const std::string out = folder / "full.mkv";
    std::ofstream(out) << "the last good capture";
    // Writing past 16 kB fails as on a full disk; noise keeps every frame big.
    const rlimit unlimited = [] {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        return limit;
    }();
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{16384, unlimited.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    VideoWriter writer;
    std::string failure;
    try {
        writer.Open(out, Width, Height, Fps, Rate, {});
        std::vector<std::uint8_t> noise(writer.Layout().FrameBytes());
        for (int n = 0; n < 60; ++n) {
            for (std::uint8_t& sample : noise) {
                sample = static_cast<std::uint8_t>(std::rand());
            }
            writer.WriteFrame(noise.data());
        }
        writer.Finish();
    } catch (const std::runtime_error& e) {
        failure = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(failure, out + ": cannot finish " + out + ": File too large (removed the incomplete file)");
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(VexelTest::ReadFile(out), "the last good capture");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
}

TEST(VideoWriterTest, TheSoundtrackIsCutSampleExactAtTheOutputRate)
{
    VexelTest::TempFolder folder;
    // A 44.1 kHz mono track, silent but for a click at 0.5 s, as WAV and as
    // Ogg Vorbis like the demo's own.
    const std::string wav = folder / "click.wav";
    ShellOutput("ffmpeg -v error -f lavfi -i \"aevalsrc='if(between(n,22050,22100),0.9,0)':s=44100:d=2\" '" + wav + "'");
    ShellOutput("ffmpeg -v error -i '" + wav + "' -c:a libvorbis '" + (folder / "click.ogg") + "'");
    const std::tuple<std::string, double, double, double> cases[] = {
        {"click.wav", 0.0, 1.0, 0.5},  {"click.wav", 0.25, 1.0, 0.25}, {"click.ogg", 0.25, 1.0, 0.25},
        {"click.wav", 1.5, 3.0, -1.0}, {"click.ogg", 0.4, 0.6, 0.1},
    };
    for (const auto& [file, from, to, click] : cases) {
        const std::vector<std::int16_t> sound = DecodeSoundtrack(folder / file, from, to, Rate);
        // Past the end of the file the length is kept with silence.
        EXPECT_EQ(sound.size(), static_cast<size_t>(std::llround((to - from) * Rate)) * 2) << file << " " << from;
        EXPECT_NEAR(ClickTime(sound), click, 0.001) << file << " " << from;
    }
    try {
        DecodeSoundtrack(folder / "none.ogg", 0.0, 1.0, Rate);
        ADD_FAILURE() << "a missing file was read";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "cannot read the soundtrack " + (folder / "none.ogg") + ": cannot open it: No such file or directory");
    }
}
