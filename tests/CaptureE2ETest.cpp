#include "ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>

using namespace std::chrono_literals;
using VexelTest::ProgramRun;
using VexelTest::RunResult;
using VexelTest::ShellOutput;
namespace fs = std::filesystem;

namespace {

// One ffprobe field of the file's first stream of a type ("v" or "a").
std::string Probe(const fs::path& file, const std::string& stream, const std::string& entry)
{
    const std::string value = ShellOutput("ffprobe -v error -count_frames -select_streams " + stream +
                                          " -show_entries " + entry + " -of default=nw=1:nk=1 '" + file.string() + "'");
    return value.substr(0, value.find('\n'));
}

std::string Rgb(const fs::path& png)
{
    return ShellOutput("ffmpeg -v error -i '" + png.string() + "' -f rawvideo -pix_fmt rgb24 -");
}

// What a capture writes to until it is done: NAME.capturing-XXXXXX.EXT.
std::vector<fs::path> TemporaryFiles(const fs::path& folder)
{
    std::vector<fs::path> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().find(".capturing-") != std::string::npos) {
            found.push_back(entry.path());
        }
    }
    return found;
}

// The first sample louder than a click's threshold, in seconds; -1 for none.
double ClickTime(const fs::path& file)
{
    // Silence put in for any gap before the first sound, so a late start shows.
    const std::string pcm = ShellOutput("ffmpeg -v error -i '" + file.string() +
                                        "' -af aresample=async=1:first_pts=0 -f s16le -ac 1 -ar 48000 -");
    for (size_t i = 0; 2 * i + 1 < pcm.size(); ++i) {
        const short sample = static_cast<short>((static_cast<unsigned char>(pcm[2 * i + 1]) << 8) |
                                                static_cast<unsigned char>(pcm[2 * i]));
        if (std::abs(sample) > 8000) {
            return i / 48000.0;
        }
    }
    return -1.0;
}

std::string Clear(const std::string& start, const std::string& end, int priority, const std::string& inside)
{
    return "<part start=\"" + start + "\" end=\"" + end + "\" name=\"p" + std::to_string(priority) +
           "\" class=\"lib.ClearScreen\" priority=\"" + std::to_string(priority) + "\">" + inside + "</part>\n";
}

class CaptureE2ETest : public testing::Test
{
protected:
    // Settings in mDir with a soundtrack that clicks at clickAt seconds.
    std::string Settings(const std::string& parts, double clickAt = 1.01)
    {
        ShellOutput("ffmpeg -v error -f lavfi -i \"aevalsrc='if(between(t," + std::to_string(clickAt) + "," +
              std::to_string(clickAt + 0.004) + "),0.9,0)':s=44100:d=3\" '" + (mDir / "click.wav").string() + "'");
        std::ofstream(mDir / "show.xml") << "<Halvorn-demo-settings><name>C</name><version>1</version>"
                                            "<soundtrack file=\"click.wav\"/><demoparts>\n"
                                         << parts << "</demoparts></Halvorn-demo-settings>\n";
        return (mDir / "show.xml").string();
    }

    RunResult Capture(std::vector<std::string> args, const std::string& settings)
    {
        ProgramRun run;
        run.args = {"--capture"};
        run.args.insert(run.args.end(), args.begin(), args.end());
        run.args.insert(run.args.end(), {"--quiet", settings});
        run.timeout = 90s;
        return VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
    }

    VexelTest::TempFolder mFolder;
    const fs::path& mDir = mFolder.Path();
};

} // namespace

TEST_F(CaptureE2ETest, EachFormatHoldsEveryFrameWithItsSoundInStepAndTheSameBytesTwice)
{
    // A white flash and a click at 1.01 s; from 0.5 at 25 fps the first frame
    // at or after it is frame 13 (1.02 s).
    const std::string settings = Settings(Clear("0", "3", 0, "") + Clear("1.01", "1.1", 1, "<param color=\"255 255 255\"/>"));
    struct Case
    {
        std::string name;
        std::vector<std::string> quality;
        std::string video, audio;
        // What x264 writes of its settings into the stream.
        std::string x264;
    };
    const Case cases[] = {
        {"out.mp4", {}, "h264,64,36,yuv420p,25/1,38", "aac", "crf=18.0"},
        {"draft.mp4", {"--quality", "draft"}, "h264,64,36,yuv420p,25/1,38", "aac", "crf=20.0"},
        {"out.mkv", {"--quality=master"}, "h264,64,36,yuv420p,25/1,38", "aac", "crf=10.0"},
        {"out.webm", {}, "vp9,64,36,yuv420p,25/1,38", "opus", ""},
        {"out.mov", {"--quality", "draft"}, "prores,64,36,yuv422p10le,25/1,38", "pcm_s16le", ""},
        {"out.gif", {}, "gif,64,36,bgra,25/1,38", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path out = mDir / c.name;
        std::vector<std::string> args = {out.string(), "--fps", "25", "--size", "64x36", "--from", "0.5", "--to", "2"};
        args.insert(args.end(), c.quality.begin(), c.quality.end());
        std::string bytes[2];
        for (int run = 0; run < 2; ++run) {
            // The second run replaces the first one's file.
            const RunResult result = Capture(args, settings);
            ASSERT_EQ(result.exitCode, 0) << result.err;
            auto lines = result.ErrLines();
            if (c.audio.empty()) {
                ASSERT_FALSE(lines.empty());
                EXPECT_EQ(lines[0], "note: a GIF holds no sound: the soundtrack is left out");
                lines.erase(lines.begin());
            }
            ASSERT_EQ(lines.size(), 11u) << result.err;
            EXPECT_EQ(lines[0].rfind("frame 4/38  10%", 0), 0u) << lines[0];
            EXPECT_EQ(lines[10].rfind("captured 38 frames to " + out.string() + " in ", 0), 0u) << lines[10];
            bytes[run] = VexelTest::ReadFile(out.string());
        }
        EXPECT_TRUE(!bytes[0].empty() && bytes[0] == bytes[1]) << "the two captures differ";
        EXPECT_TRUE(TemporaryFiles(mDir).empty());
        EXPECT_EQ(bytes[0].find(c.x264) != std::string::npos, true) << c.x264;

        EXPECT_EQ(ShellOutput("ffprobe -v error -count_frames -select_streams v -show_entries "
                              "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames -of csv=p=0 '" +
                              out.string() + "'"),
                  c.video + "\n");
        EXPECT_EQ(Probe(out, "a", "stream=codec_name"), c.audio);

        const std::string gray = ShellOutput("ffmpeg -v error -i '" + out.string() +
                                             "' -fps_mode passthrough -vf scale=1:1 -f rawvideo -pix_fmt gray -");
        ASSERT_EQ(gray.size(), 38u);
        int flash = -1;
        for (int n = 0; n < 38 && flash < 0; ++n) {
            flash = static_cast<unsigned char>(gray[n]) > 200 ? n : -1;
        }
        EXPECT_EQ(flash, 13);
        if (!c.audio.empty()) {
            EXPECT_NEAR(ClickTime(out), flash / 25.0, 1.0 / 25);
        }
    }
}

TEST_F(CaptureE2ETest, AnAnimatedPartShowsTheValueOfEachFrameTime)
{
    const std::string settings =
        Settings(Clear("0", "2", 0, "<animate key=\"color\" times=\"0 1\" values=\"0 0 0; 200 80 40\"/>"));
    const RunResult result = Capture({(mDir / "f/%d.png").string(), "--fps", "8", "--size", "16x8", "--to", "1"}, settings);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ShellOutput("ffprobe -v error -show_entries stream=codec_name,channels:format=duration -of csv=p=0 '" +
                          (mDir / "f/audio.wav").string() + "'"),
              "pcm_s16le,2\n1.000000\n");
    for (int n = 0; n < 9; ++n) {
        const fs::path png = mDir / ("f/" + std::to_string(n) + ".png");
        ASSERT_EQ(fs::exists(png), n < 8) << n;
        const std::string rgb = n < 8 ? Rgb(png) : std::string();
        ASSERT_EQ(rgb.size(), n < 8 ? 16u * 8u * 3u : 0u) << n;
        for (int channel = 0; n < 8 && channel < 3; ++channel) {
            EXPECT_NEAR(static_cast<unsigned char>(rgb[channel]), (channel == 0 ? 25 : channel == 1 ? 10 : 5) * n, 1)
                << "frame " << n << " channel " << channel;
        }
    }
}

TEST_F(CaptureE2ETest, PartsFrameTheirPicturesForTheCaptureSize)
{
    // A square picture without a size fills the height, as in a window of the capture's shape.
    fs::create_directories(mDir / "data/textures");
    fs::copy(VEXEL_DEMO_DIR "/data/shaders", mDir / "data/shaders", fs::copy_options::recursive);
    ShellOutput("ffmpeg -v error -f lavfi -i color=c=red:s=8x8 -frames:v 1 '" + (mDir / "data/textures/red.png").string() + "'");
    const std::string settings = Settings("<part start=\"0\" end=\"1\" name=\"red\" class=\"lib.Image\" "
                                          "priority=\"0\"><param image=\"red.png\"/></part>\n");
    struct Case
    {
        int width, height, firstRed, lastRed;
    };
    for (const Case& c : {Case{90, 90, 0, 89}, Case{160, 40, 60, 99}}) {
        const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
        const RunResult result = Capture({(mDir / size / "%d.png").string(), "--size", size, "--to", "0.01"}, settings);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const std::string rgb = Rgb(mDir / size / "0.png");
        ASSERT_EQ(rgb.size(), c.width * c.height * 3u);
        for (int x = 0; x < c.width; ++x) {
            const unsigned char* pixel = reinterpret_cast<const unsigned char*>(&rgb[((c.height / 2) * c.width + x) * 3]);
            EXPECT_EQ(pixel[0] > 200 && pixel[1] < 50, x >= c.firstRed && x <= c.lastRed) << size << " x " << x;
        }
    }
}

TEST_F(CaptureE2ETest, TheBundledDemoCapturesTheSameTwiceAndAsTheLivePlayerShowsIt)
{
    // 40 s: the groove's knot drawn into a float buffer, bloomed through three more,
    // its kick and hats reacting, and a credit in text over it.
    const std::string settings = VEXEL_DEMO_DIR "/morvelin.xml";
    std::string frames[2];
    for (int run = 0; run < 2; ++run) {
        const fs::path pattern = mDir / std::to_string(run) / "%d.png";
        const RunResult result = Capture(
            {pattern.string(), "--size", "1280x720", "--from", "40", "--to", "40.01", "--fps", "100"}, settings);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        frames[run] = VexelTest::ReadFile((mDir / std::to_string(run) / "0.png").string());
    }
    ASSERT_FALSE(frames[0].empty());
    EXPECT_TRUE(frames[0] == frames[1]) << "the PNGs differ";

    ProgramRun live;
    live.args = {"--paused", "--start", "40", "--window", "1280x720", "--mute", settings};
    std::vector<unsigned char> screen;
    live.whileRunning = [&](VexelTest::RunningProgram& program) {
        ASSERT_TRUE(program.WaitForOutput("ready at 0:40.000, paused", 30s)) << program.Err();
        // The overlay is never captured, so the live picture is compared without it.
        program.Key("F1");
        std::this_thread::sleep_for(500ms);
        screen = program.Screenshot();
        program.Key("Escape");
    };
    EXPECT_EQ(VexelTest::RunProgram(VEXEL_PLAYER_EXE, live).exitCode, 0);
    const std::string captured = Rgb(mDir / "0/0.png");
    ASSERT_EQ(captured.size(), screen.size());
    // The window and the offscreen target may rasterise a rare edge pixel
    // differently; a framing, timing or blending fault changes thousands.
    int off = 0;
    for (size_t i = 0; i < screen.size(); ++i) {
        off += std::abs(static_cast<unsigned char>(captured[i]) - screen[i]) > 3 ? 1 : 0;
    }
    EXPECT_LE(off, 30) << "channels more than 3 apart";
}

TEST_F(CaptureE2ETest, BadNamesAndUnwritablePlacesSaySoAndLeaveWhatWasThereAsItWas)
{
    const std::string settings = Settings(Clear("0", "2", 0, ""));
    std::ofstream(mDir / "empty.xml") << "<Halvorn-demo-settings><name>E</name><version>1</version>"
                                         "<soundtrack file=\"click.wav\"/><demoparts/></Halvorn-demo-settings>\n";
    fs::create_symlink("/dev/full", mDir / "full.mp4");
    std::ofstream(mDir / "file") << "not a folder";
    fs::create_directory(mDir / "folder.mp4");
    std::ofstream(mDir / "kept.mov") << "the user's own video";
    fs::permissions(mDir / "kept.mov", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::create_directories(mDir / "f0/0.png");
    fs::create_directories(mDir / "f1/1.png");
    const std::string hint = "Try 'vexel-player --help' for more information.";
    struct Case
    {
        std::vector<std::string> args;
        int status;
        std::string lastLine;
        std::string settings = std::string();
    };
    const auto at = [this](const std::string& name) { return (mDir / name).string(); };
    const std::string missing = at("no/such/out.mp4");
    const Case cases[] = {
        {{"out.avi"},
         2,
         "vexel-player: --capture: OUT must end in .mp4, .mkv, .webm, .mov or .gif, or be a PNG pattern such as frames/%05d.png: \"out.avi\""},
        {{"f/%d-%d.png"},
         2,
         "vexel-player: --capture: a PNG pattern holds exactly one %d (or %05d) and no other %: \"f/%d-%d.png\""},
        {{"o.mp4", "--size", "321x180"},
         2,
         "vexel-player: --size: a video needs an even width and height, got 321x180"},
        {{"o.webm", "--quality", "best"}, 2, "vexel-player: --quality: expected draft, final or master, got \"best\""},
        {{"o.gif", "--fps", "60"},
         2,
         "vexel-player: --fps: a GIF takes at most 50 frames per second (browsers slow down faster ones), got 60"},
        {{"o.mp4", "--paused"}, 2, "vexel-player: --paused: not with --capture"},
        {{"o.mp4", "--from", "3", "--to", "1"},
         2,
         "vexel-player: --to: the capture must end after it starts (from 3 s to 1 s)"},
        {{"o.mp4", "--from", "2.5"}, 2, "vexel-player: --from: 2.5 s is not before the end of the timeline (2 s)"},
        {{"o.mp4"},
         2,
         "vexel-player: the timeline is empty: nothing to capture (--to TIME captures up to TIME anyway)",
         at("empty.xml")},
        {{missing, "--size", "64x36"},
         1,
         "capture failed: " + missing + ": cannot write " + missing + ": No such file or directory"},
        {{at("file/%d.png"), "--size", "64x36"},
         1,
         "capture failed: " + at("file/%d.png") + ": cannot write " + at("file/audio.wav") + ": Not a directory"},
        {{at("f0/%d.png"), "--size", "64x36"},
         1,
         "capture failed: " + at("f0/%d.png") + ": cannot write " + at("f0/0.png") + ": Is a directory"},
        {{at("f1/%d.png"), "--size", "64x36"},
         1,
         "capture failed: " + at("f1/%d.png") + ": cannot write " + at("f1/1.png") +
             ": Is a directory (frame 0 is written)"},
        {{at("full.mp4"), "--size", "64x36"},
         1,
         "capture failed: " + at("full.mp4") + ": is not a regular file; it is left as it is"},
        {{at("folder.mp4"), "--size", "64x36"},
         1,
         "capture failed: " + at("folder.mp4") + ": is a folder; it is left as it is"},
        {{at("kept.mov"), "--size", "64x36"},
         1,
         "capture failed: " + at("kept.mov") + ": is read-only; it is left as it is"},
    };
    for (const Case& c : cases) {
        const RunResult result = Capture(c.args, c.settings.empty() ? settings : c.settings);
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(result.exitCode, c.status) << result.err;
        const auto lines = result.ErrLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(c.status == 2 ? lines[lines.size() - 2] : lines.back(), c.lastLine);
        if (c.status == 2) {
            EXPECT_EQ(lines.back(), hint);
        }
    }
    EXPECT_FALSE(fs::exists(mDir / "no"));
    EXPECT_TRUE(fs::is_symlink(mDir / "full.mp4"));
    EXPECT_TRUE(fs::is_directory(mDir / "folder.mp4") && fs::is_empty(mDir / "folder.mp4"));
    EXPECT_EQ(VexelTest::ReadFile(at("kept.mov")), "the user's own video");
    EXPECT_TRUE(fs::exists(mDir / "f1/0.png"));
    EXPECT_TRUE(TemporaryFiles(mDir).empty());
}

TEST_F(CaptureE2ETest, ASoundtrackThatIsNotARegularFileIsRefusedBeforeItIsOpened)
{
    // Opening a FIFO for reading waits for a writer that never comes.
    const std::string settings = Settings(Clear("0", "2", 0, ""));
    fs::remove(mDir / "click.wav");
    ASSERT_EQ(::mkfifo((mDir / "click.wav").c_str(), 0600), 0);
    const std::string expected = settings + ":1:70: error: soundtrack \"click.wav\" is not a regular file";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--capture", (mDir / "o.mp4").string(), "--size", "64x36", settings},
          std::vector<std::string>{"--window", "64x36", settings}}) {
        ProgramRun run;
        run.args = args;
        run.timeout = 30s;
        const RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
        SCOPED_TRACE(args[0]);
        EXPECT_EQ(result.exitCode, 1) << result.err;
        ASSERT_FALSE(result.ErrLines().empty());
        EXPECT_EQ(result.ErrLines().back(), expected);
    }
    EXPECT_FALSE(fs::exists(mDir / "o.mp4"));
}

TEST_F(CaptureE2ETest, AStoppedOrKilledCaptureLeavesAPlayableFileOfTheFramesDone)
{
    // No X server to lose: under xvfb-run, Ctrl+C ends the server too.
    const std::string settings = Settings(Clear("0", "600", 0, "<param color=\"0 0 255\"/>"));
    struct Case
    {
        int signal;
        std::string name;
    };
    for (const Case& c : {Case{SIGINT, "int.mkv"}, Case{SIGHUP, "hup.mp4"}, Case{SIGKILL, "killed.mp4"}}) {
        SCOPED_TRACE(c.name);
        const fs::path out = mDir / c.name;
        ProgramRun run;
        run.args = {"--capture", out.string(), "--size", "64x36", "--quiet", settings};
        run.ownDisplay = false;
        run.unsetEnv = {"DISPLAY"};
        run.whileRunning = [&](VexelTest::RunningProgram& program) {
            // Signals count once the first frames are in the file: after the
            // first progress line, a fragment of the .mp4 is written.
            for (int i = 0; i < 1200 && program.Err().find("frame 3600/") == std::string::npos && !program.HasExited();
                 ++i) {
                std::this_thread::sleep_for(25ms);
            }
            program.Signal(c.signal);
        };
        const RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
        ASSERT_FALSE(result.ErrLines().empty());
        long done = -1;
        if (c.signal == SIGKILL) {
            // Killed outright: the fragments written so far play, from the temporary file.
            EXPECT_EQ(result.signal, SIGKILL);
            EXPECT_FALSE(fs::exists(out));
            const std::vector<fs::path> left = TemporaryFiles(mDir);
            ASSERT_EQ(left.size(), 1u);
            EXPECT_EQ(left[0].extension(), ".mp4");
            const long frames = std::atol(Probe(left[0], "v", "stream=nb_read_frames").c_str());
            // At least the progress line's frames, less a fragment (1 s) and what the encoder held.
            EXPECT_GE(frames, 3600 - 60 - 60) << result.err;
            EXPECT_EQ(Probe(left[0], "a", "stream=codec_name"), "aac");
            fs::remove(left[0]);
            continue;
        }
        EXPECT_EQ(result.exitCode, 130) << result.err;
        const std::string tail = " of 36000 frames: " + out.string() + " holds the frames done";
        ASSERT_EQ(std::sscanf(result.ErrLines().back().c_str(), "capture stopped after %ld", &done), 1) << result.err;
        EXPECT_EQ(result.ErrLines().back(), "capture stopped after " + std::to_string(done) + tail);
        EXPECT_GE(done, 3600);
        EXPECT_EQ(Probe(out, "v", "stream=nb_read_frames"), std::to_string(done));
        EXPECT_EQ(Probe(out, "a", "stream=codec_name"), "aac");
        EXPECT_TRUE(TemporaryFiles(mDir).empty());
    }
}
