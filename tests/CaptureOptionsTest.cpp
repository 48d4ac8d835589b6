#include "CaptureOptions.h"
#include "CaptureProgress.h"
#include "Halvorn/Tempo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

TEST(CaptureOptionsTest, OptionsAreTakenOutAndTheRestKeptInOrder)
{
    struct Case
    {
        std::vector<std::string> args;
        CaptureOutputKind kind;
        CaptureQuality quality;
        int fps, width, height;
        std::string from, to;
        std::vector<std::string> rest;
    };
    const Case cases[] = {
        {{"--capture", "a.mp4", "demo.xml"},
         CaptureOutputKind::Mp4,
         CaptureQuality::Final,
         60,
         1920,
         1080,
         "",
         "",
         {"demo.xml"}},
        {{"-v", "--capture=b.MKV", "--fps", "30", "--size=1280x720", "--quality=draft", "x.xml"},
         CaptureOutputKind::Matroska,
         CaptureQuality::Draft,
         30,
         1280,
         720,
         "",
         "",
         {"-v", "x.xml"}},
        {{"--from", "9:1", "--capture", "f/%05d.png", "--to=20.5", "--size", "33x17"},
         CaptureOutputKind::PngSequence,
         CaptureQuality::Final,
         60,
         33,
         17,
         "9:1",
         "20.5",
         {}},
        {{"--capture", "100%%/%d.png"},
         CaptureOutputKind::PngSequence,
         CaptureQuality::Final,
         60,
         1920,
         1080,
         "",
         "",
         {}},
        {{"--quality", "master", "--capture", "w.webm"},
         CaptureOutputKind::WebM,
         CaptureQuality::Master,
         60,
         1920,
         1080,
         "",
         "",
         {}},
        {{"--capture", "edit.MOV"}, CaptureOutputKind::QuickTime, CaptureQuality::Final, 60, 1920, 1080, "", "", {}},
        // A GIF has 25 frames a second unless told, and any size.
        {{"--capture", "post.gif", "--size", "321x181"},
         CaptureOutputKind::Gif,
         CaptureQuality::Final,
         25,
         321,
         181,
         "",
         "",
         {}},
        {{"--capture", "post.gif", "--fps", "50"},
         CaptureOutputKind::Gif,
         CaptureQuality::Final,
         50,
         1920,
         1080,
         "",
         "",
         {}},
    };
    for (const Case& c : cases) {
        CaptureOptions options;
        std::vector<std::string> rest;
        std::string error;
        ASSERT_TRUE(ParseCaptureOptions(c.args, options, rest, error)) << error;
        EXPECT_TRUE(options.mEnabled);
        EXPECT_EQ(options.mKind, c.kind);
        EXPECT_EQ(options.mQuality, c.quality);
        EXPECT_EQ(options.mFps, c.fps);
        EXPECT_EQ(options.mWidth, c.width);
        EXPECT_EQ(options.mHeight, c.height);
        EXPECT_EQ(options.mFromText, c.from);
        EXPECT_EQ(options.mToText, c.to);
        EXPECT_EQ(rest, c.rest);
    }
}

// The errors the end-to-end tests show with their status are left to them.
TEST(CaptureOptionsTest, UsageErrorsNameTheOptionAndTheValue)
{
    const std::string outHelp = "--capture: OUT must end in .mp4, .mkv, .webm, .mov or .gif, or be a PNG pattern such "
                                "as frames/%05d.png: ";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--capture", ".mp4"}, outHelp + "\".mp4\""},
        {{"--capture", "clip.webm.avi"}, outHelp + "\"clip.webm.avi\""},
        {{"--quality", "draft", "demo.xml"}, "--quality: only with --capture"},
        {{"--capture", "frames/%d.jpg"},
         "--capture: a PNG pattern has its %d in a file name ending in .png: \"frames/%d.jpg\""},
        {{"--capture", "f%d/x.png"},
         "--capture: a PNG pattern has its %d in a file name ending in .png: \"f%d/x.png\""},
        {{"--capture", "%s.png"}, "--capture: a PNG pattern holds exactly one %d (or %05d) and no other %: \"%s.png\""},
        {{"--capture"}, "--capture: missing value"},
        {{"--capture", "a.mp4", "--fps", "0"}, "--fps: expected a whole number from 1 to 1000, got \"0\""},
        {{"--capture", "a.mp4", "--fps", "29.97"}, "--fps: expected a whole number from 1 to 1000, got \"29.97\""},
        {{"--capture", "a.mp4", "--size", "1280*720"},
         "--size: expected WIDTHxHEIGHT, each from 1 to 16384, got \"1280*720\""},
        {{"--capture", "a.mp4", "--size", "0x720"},
         "--size: expected WIDTHxHEIGHT, each from 1 to 16384, got \"0x720\""},
        {{"--capture", "a.mp4", "--from", "soon"}, "--from: expected seconds (12.5) or BAR:BEAT (9:1), got \"soon\""},
        {{"--fps", "30", "demo.xml"}, "--fps: only with --capture"},
    };
    for (const auto& [args, expected] : cases) {
        CaptureOptions options;
        std::vector<std::string> rest;
        std::string error;
        EXPECT_FALSE(ParseCaptureOptions(args, options, rest, error)) << args.back();
        EXPECT_EQ(error, expected);
    }
}

TEST(CaptureOptionsTest, TheRangeResolvesWithTheTempoAndCountsEveryFrameBeforeTo)
{
    const Tempo tempo(120.0, 4, 0.0);
    struct Case
    {
        std::string from, to;
        int fps;
        double expectFrom, expectTo;
        long frames;
    };
    const Case cases[] = {
        {"", "", 60, 0.0, 42.0, 2520},     {"10", "20", 60, 10.0, 20.0, 600},
        {"2:1", "3:1", 30, 2.0, 4.0, 60},  {"0", "0.1", 60, 0.0, 0.1, 6},
        {"0", "1.01", 60, 0.0, 1.01, 61},  {"1", "1.001", 25, 1.0, 1.001, 1},
    };
    for (const Case& c : cases) {
        CaptureOptions options;
        options.mFromText = c.from;
        options.mToText = c.to;
        options.mFps = c.fps;
        CaptureRange range;
        std::string error;
        ASSERT_TRUE(ResolveCaptureRange(options, &tempo, 42.0, range, error)) << error;
        EXPECT_DOUBLE_EQ(range.mFrom, c.expectFrom);
        EXPECT_DOUBLE_EQ(range.mTo, c.expectTo);
        EXPECT_EQ(range.FrameCount(), c.frames) << c.from << ".." << c.to;
        // The last frame is before TO, the one after it is not.
        EXPECT_LT(range.FrameTime(c.frames - 1), range.mTo);
        EXPECT_GE(range.FrameTime(c.frames), range.mTo - 1e-9);
    }

    CaptureOptions backwards;
    backwards.mFromText = "5";
    backwards.mToText = "5";
    CaptureRange range;
    std::string error;
    EXPECT_FALSE(ResolveCaptureRange(backwards, &tempo, 42.0, range, error));
    EXPECT_EQ(error, "--to: the capture must end after it starts (from 5 s to 5 s)");
    CaptureOptions barBeat;
    barBeat.mFromText = "2:1";
    EXPECT_FALSE(ResolveCaptureRange(barBeat, nullptr, 42.0, range, error));
    EXPECT_EQ(error, "--from: BAR:BEAT needs a tempo in the settings file, got \"2:1\"");
}

TEST(CaptureProgressTest, TheLineShowsFramesPercentSpeedAndTimeLeft)
{
    const std::tuple<long, long, double, long long, std::string> cases[] = {
        {0, 600, 0.0, 0, "frame 0/600   0%   0.0 fps -:-- left  0 kB"},
        {120, 600, 4.0, 4549999, "frame 120/600  20%  30.0 fps 0:16 left  4.5 MB"},
        {599, 600, 10.0, 999499, "frame 599/600  99%  59.9 fps 0:00 left  999 kB"},
        {600, 600, 12.5, 1234567890, "frame 600/600 100%  48.0 fps 0:00 left  1.23 GB"},
        // A GIF's size is known only at its end.
        {1, 216001, 1.0, -1, "frame 1/216001   0%   1.0 fps 60:00:00 left"},
    };
    for (const auto& [done, total, elapsed, bytes, expected] : cases) {
        EXPECT_EQ(FormatCaptureProgress(done, total, elapsed, bytes), expected);
    }
}

// What a reporter writes for frames 1..count of total, frame k done after k s.
static std::string Reported(long total, long count, bool terminal)
{
    std::FILE* stream = std::tmpfile();
    CaptureProgress progress(total, terminal, stream);
    for (long done = 1; done <= count; ++done) {
        progress.Report(done, done);
    }
    progress.Finish();
    std::rewind(stream);
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), stream));
    std::fclose(stream);
    return text;
}

TEST(CaptureProgressTest, OffATerminalThereIsOneLineForEachTenthOnAOneLineRewritten)
{
    // Fewer frames than tenths: one line per frame.
    for (const long total : {7L, 10L, 25L, 1000L}) {
        const std::string text = Reported(total, total, false);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::min(total, 10L)) << total;
        EXPECT_NE(text.find("\nframe " + std::to_string(total) + "/" + std::to_string(total) + " 100%"),
                  std::string::npos);
    }
    // The first line is longer (an hour left), so blanks wipe its end.
    EXPECT_EQ(Reported(3601, 2, true),
              "\rframe 1/3601   0%   1.0 fps 1:00:00 left\rframe 2/3601   0%   1.0 fps 59:59 left  \n");
}
