#include "SoundtrackDecoder.h"
#include "VideoWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr int Width = 64;
constexpr int Height = 48;
constexpr int Fps = 30;
constexpr int Rate = 48000;
constexpr int Frames = 60;
constexpr int FlashFrame = 30;

struct TempFolder
{
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "vexel-capture-XXXXXX").string();
        mPath = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(mPath); }
    std::string operator/(const std::string& name) const { return (mPath / name).string(); }
    fs::path mPath;
};

std::string Shell(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return out;
}

// ffprobe's view of a file: one key=value map per stream type, and "format".
std::map<std::string, std::map<std::string, std::string>> Probe(const std::string& file)
{
    std::istringstream lines(Shell("ffprobe -v error -count_frames -show_entries "
                                 "stream=codec_type,codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames,"
                                 "sample_rate,channels:format=duration -of compact=p=0 '" + file + "'"));
    std::map<std::string, std::map<std::string, std::string>> result;
    std::string line;
    while (std::getline(lines, line)) {
        std::map<std::string, std::string> fields;
        std::istringstream parts(line);
        std::string part;
        while (std::getline(parts, part, '|')) {
            const size_t equals = part.find('=');
            fields[part.substr(0, equals)] = part.substr(equals + 1);
        }
        result[fields.count("codec_type") ? fields["codec_type"] : "format"] = fields;
    }
    return result;
}

// Frame n is a dark ramp tinted by n, except one white flash frame; the
// sound is a quiet tone with a loud click at the flash frame's time.
std::vector<std::uint8_t> MakeFrame(int n)
{
    std::vector<std::uint8_t> rgb(Width * Height * 3);
    for (int i = 0; i < Width * Height; ++i) {
        const bool flash = n == FlashFrame;
        rgb[i * 3 + 0] = flash ? 255 : static_cast<std::uint8_t>(i % Width);
        rgb[i * 3 + 1] = flash ? 255 : static_cast<std::uint8_t>(n);
        rgb[i * 3 + 2] = flash ? 255 : static_cast<std::uint8_t>(i / Width);
    }
    return rgb;
}

std::vector<std::int16_t> MakeSound(int frames)
{
    std::vector<std::int16_t> sound(static_cast<size_t>(frames) * Rate / Fps * 2);
    const size_t click = static_cast<size_t>(FlashFrame) * Rate / Fps;
    for (size_t i = 0; i < sound.size() / 2; ++i) {
        const bool loud = i >= click && i < click + 96;
        const auto value = static_cast<std::int16_t>(loud ? 30000 : 1000.0 * std::sin(i * 0.0576));
        sound[i * 2] = sound[i * 2 + 1] = value;
    }
    return sound;
}

void WriteFrames(VideoWriter& writer, const std::string& out, int frames)
{
    writer.Open(out, Width, Height, Fps, Rate, MakeSound(frames));
    for (int n = 0; n < frames; ++n) {
        writer.WriteFrame(MakeFrame(n).data());
    }
}

// The time of the first sample louder than the tone, -1 if none.
double ClickTime(const std::vector<std::int16_t>& sound)
{
    for (size_t i = 0; i < sound.size(); ++i) {
        if (std::abs(sound[i]) > 10000) {
            return static_cast<double>(i / 2) / Rate;
        }
    }
    return -1.0;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(VideoWriterTest, ContainersHoldEveryFrameAtItsTimeWithTheSoundInStep)
{
    TempFolder folder;
    for (const std::string name : {"out.mp4", "out.mkv"}) {
        const std::string out = folder / name;
        VideoWriter writer;
        WriteFrames(writer, out, Frames);
        writer.Finish();

        auto probe = Probe(out);
        EXPECT_EQ(probe["video"]["codec_name"], "h264") << name;
        EXPECT_EQ(probe["video"]["pix_fmt"], "yuv420p");
        EXPECT_EQ(probe["video"]["width"], std::to_string(Width));
        EXPECT_EQ(probe["video"]["height"], std::to_string(Height));
        EXPECT_EQ(probe["video"]["r_frame_rate"], std::to_string(Fps) + "/1");
        EXPECT_EQ(probe["video"]["nb_read_frames"], std::to_string(Frames));
        EXPECT_EQ(probe["audio"]["codec_name"], "aac");
        EXPECT_EQ(probe["audio"]["sample_rate"], std::to_string(Rate));
        EXPECT_NEAR(std::atof(probe["format"]["duration"].c_str()), double(Frames) / Fps, 1.0 / Fps);

        // Exactly one bright frame, at its own place: nothing dropped or repeated.
        const std::string gray = Shell("ffmpeg -v error -i '" + out + "' -fps_mode passthrough -vf scale=4:4 -f rawvideo -pix_fmt gray -");
        ASSERT_EQ(gray.size(), static_cast<size_t>(Frames) * 16) << name;
        for (int n = 0; n < Frames; ++n) {
            EXPECT_EQ(static_cast<unsigned char>(gray[n * 16 + 5]) > 200, n == FlashFrame) << name << " frame " << n;
        }
        // The click is heard with the flash, within one frame.
        const double click = ClickTime(DecodeSoundtrack(out, 0.0, double(Frames) / Fps, Rate));
        EXPECT_NEAR(click, double(FlashFrame) / Fps, 1.0 / Fps) << name;
    }
}

TEST(VideoWriterTest, PngSequencesAreNumberedFromZeroAndTheSameTwice)
{
    TempFolder folder;
    const int frames = 5;
    for (const std::string run : {"a", "b"}) {
        VideoWriter writer;
        WriteFrames(writer, folder / (run + "/%03d.png"), frames);
        writer.Finish();
    }
    for (int n = 0; n < frames; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.png", n);
        const std::string first = ReadFile(folder / ("a/" + std::string(name)));
        ASSERT_FALSE(first.empty()) << name;
        EXPECT_EQ(first, ReadFile(folder / ("b/" + std::string(name)))) << name;
    }
    EXPECT_FALSE(fs::exists(folder / "a/005.png"));
    // Top row first in the file: the blue ramp (row index) starts at 0 at the
    // top of frame 1, and its green is the frame number.
    const std::string top = Shell("ffmpeg -v error -i '" + (folder / "a/001.png") +
                                "' -vf crop=1:1:0:0 -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(top[1]), 1);
    EXPECT_EQ(static_cast<unsigned char>(top[2]), Height - 1);

    auto wav = Probe(folder / "a/audio.wav");
    EXPECT_EQ(wav["audio"]["codec_name"], "pcm_s16le");
    EXPECT_EQ(wav["audio"]["channels"], "2");
    EXPECT_NEAR(std::atof(wav["format"]["duration"].c_str()), double(frames) / Fps, 1e-3);
    EXPECT_EQ(ReadFile(folder / "a/audio.wav"), ReadFile(folder / "b/audio.wav"));
}

TEST(VideoWriterTest, AnEarlyStopStillLeavesAPlayableFile)
{
    TempFolder folder;
    const std::string out = folder / "stopped.mkv";
    {
        VideoWriter writer;
        WriteFrames(writer, out, 10);
        // Gone without Finish, as on an interrupted capture.
    }
    auto probe = Probe(out);
    EXPECT_EQ(probe["video"]["nb_read_frames"], "10");
    EXPECT_NEAR(std::atof(probe["format"]["duration"].c_str()), 10.0 / Fps, 1.0 / Fps);
}

TEST(VideoWriterTest, BadNamesAndUnwritablePlacesSaySoAndLeaveNothingBroken)
{
    TempFolder folder;
    std::ofstream(folder / "file") << "not a folder";
    fs::create_symlink("/dev/full", folder / "full.mkv");
    const std::pair<std::string, std::string> cases[] = {
        {folder / "out.avi", "--capture: OUT must end in .mp4 or .mkv, or be a PNG pattern such as frames/%05d.png: \"" +
                                 (folder / "out.avi") + "\""},
        {folder / "file/out.mp4",
         folder / "file/out.mp4" + ": cannot write " + (folder / "file/out.mp4") + ": Not a directory"},
        {folder / "full.mkv", folder / "full.mkv" + ": cannot finish " + (folder / "full.mkv") +
                                  ": No space left on device (removed the incomplete file)"},
    };
    for (const auto& [out, message] : cases) {
        VideoWriter writer;
        try {
            WriteFrames(writer, out, Frames);
            writer.Finish();
            ADD_FAILURE() << out << " was written";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
        EXPECT_FALSE(writer.IsOpen());
        EXPECT_FALSE(fs::exists(fs::symlink_status(out))) << out;
    }
}

TEST(VideoWriterTest, TheSoundtrackIsCutSampleExactAtTheOutputRate)
{
    TempFolder folder;
    // A 44.1 kHz mono track, silent but for a click at 0.5 s, as WAV and as
    // Ogg Vorbis like the demo's own.
    const std::string wav = folder / "click.wav";
    Shell("ffmpeg -v error -f lavfi -i \"aevalsrc='if(between(n,22050,22100),0.9,0)':s=44100:d=2\" '" + wav + "'");
    Shell("ffmpeg -v error -i '" + wav + "' -c:a libvorbis '" + (folder / "click.ogg") + "'");
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
