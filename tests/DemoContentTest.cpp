// The bundled demo's files (demo/): what playing it cannot show. Its end-to-end
// test plays the timeline and fails on any unknown key, value, class or file.

#include "Audio/SoundtrackDecoder.h"
#include "ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The soundtrack's grid, which tools/storyboard.md and the timeline follow.
constexpr int Rate = 44100;
constexpr double Beat = 60.0 / 128.0;
constexpr double Bar = 4 * Beat;

// Below 60 Hz only the kick plays: four second-order low-passes in a row.
std::vector<double> KickBand(std::vector<double> x)
{
    const double w = 2.0 * M_PI * 60.0 / Rate;
    const double alpha = std::sin(w) / std::sqrt(2.0);
    const double a0 = 1.0 + alpha;
    const double b0 = (1.0 - std::cos(w)) / 2.0 / a0;
    const double a1 = -2.0 * std::cos(w) / a0;
    const double a2 = (1.0 - alpha) / a0;
    for (int stage = 0; stage < 4; ++stage) {
        double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
        for (double& v : x) {
            const double y = b0 * (v + 2.0 * x1 + x2) - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = v;
            y2 = y1;
            y1 = y;
            v = y;
        }
    }
    return x;
}

size_t Sample(double seconds)
{
    return static_cast<size_t>(std::lround(seconds * Rate));
}

double RmsDb(const std::vector<double>& x, double from, double to)
{
    double sum = 0.0;
    for (size_t i = Sample(from); i < Sample(to); ++i) {
        sum += x[i] * x[i];
    }
    return 10.0 * std::log10(std::max(sum / static_cast<double>(Sample(to) - Sample(from)), 1e-24));
}

// Seconds from `from` to the loudest sample before `to`.
double PeakAfter(const std::vector<double>& x, double from, double to)
{
    const auto first = x.begin() + static_cast<long>(Sample(from));
    const auto loudest = std::max_element(first, x.begin() + static_cast<long>(Sample(to)),
                                          [](double a, double b) { return std::abs(a) < std::abs(b); });
    return static_cast<double>(loudest - first) / Rate;
}

} // namespace

TEST(DemoContentTest, SoundtrackIsASmallOggAndEveryPictureIsShown)
{
    const fs::path demo = VEXEL_DEMO_DIR;
    const std::string xml = VexelTest::ReadFile((demo / "morvelin.xml").string());
    std::smatch soundtrack;
    ASSERT_TRUE(std::regex_search(xml, soundtrack, std::regex(R"re(<soundtrack file="([^"]+)")re")));
    const fs::path music = demo / soundtrack[1].str();
    EXPECT_EQ(VexelTest::ReadFile(music.string()).substr(0, 4), "OggS") << music;
    EXPECT_LT(fs::file_size(music), 2u * 1024 * 1024);

    // The test scene loads its two pictures and the shader pair by fixed names; every other
    // picture is shown by a part or read by a shader, every other shader is run.
    std::uintmax_t bytes = 0;
    int fixedFiles = 0;
    for (const char* folder : {"textures", "shaders"}) {
        for (const auto& entry : fs::directory_iterator(demo / "data" / folder)) {
            const std::string name = entry.path().filename().string();
            const bool fixed = name == "test.png" || name == "bg.jpg" || name.rfind("standard.330.", 0) == 0;
            EXPECT_TRUE(fixed || xml.find("=\"" + name + "\"") != std::string::npos) << name << " is unused";
            fixedFiles += fixed ? 1 : 0;
            bytes += entry.file_size();
        }
    }
    EXPECT_EQ(fixedFiles, 4);
    EXPECT_LT(bytes, 3u * 1024 * 1024);
}

// demo/morvelin.xml is made by tools/make_timeline.py from the story: an edit made to it alone
// would be lost at the script's next run, and a shader no part runs has no place in demo/.
TEST(DemoContentTest, TheTimelineAndItsShadersAreWhatTheScriptMakes)
{
    const VexelTest::TempFolder made;
    const std::string printed =
        VexelTest::ShellOutput("python3 " VEXEL_SOURCE_DIR "/tools/make_timeline.py --demo " + made.Path().string());
    ASSERT_NE(printed.find(", ends at 90 s\n"), std::string::npos) << printed;
    const fs::path demo = VEXEL_DEMO_DIR;
    EXPECT_TRUE(VexelTest::ReadFile(made / "morvelin.xml") == VexelTest::ReadFile((demo / "morvelin.xml").string()))
        << "demo/morvelin.xml is not what the script writes";
    // Both ways: every shader it copies is there as it is, and none it would remove is left.
    for (const auto& [from, to] : {std::pair{made.Path(), demo}, std::pair{demo, made.Path()}}) {
        for (const auto& entry : fs::directory_iterator(from / "data" / "shaders")) {
            const fs::path other = to / "data" / "shaders" / entry.path().filename();
            if (entry.path().extension() == ".glsl") {
                EXPECT_TRUE(fs::exists(other) &&
                            VexelTest::ReadFile(entry.path().string()) == VexelTest::ReadFile(other.string()))
                    << entry.path().filename() << " differs or is missing in " << to;
            }
        }
    }
}

// Scenes cut and pulse on this music's bars: a soundtrack made again with
// another tempo, section order or level balance would leave them off the beat.
TEST(DemoContentTest, TheSoundtrackKeepsTheTempoAndSectionsTheTimelineFollows)
{
    const std::vector<std::int16_t> pcm =
        DecodeSoundtrack(VEXEL_DEMO_DIR "/data/music/morvelin.ogg", 0.0, 48 * Bar, Rate);
    std::vector<double> mono(pcm.size() / 2);
    int clipped = 0;
    int peak = 0;
    for (size_t i = 0; i < pcm.size(); ++i) {
        clipped += std::abs(pcm[i]) >= 32767 ? 1 : 0;
        peak = std::max(peak, std::abs(static_cast<int>(pcm[i])));
        mono[i / 2] += pcm[i] / 65536.0;
    }
    EXPECT_EQ(clipped, 0);
    EXPECT_GT(peak, 23197) << "normalised above -3 dBFS";

    // Bars from 1: where the kick lands on every beat, and where nothing plays below 60 Hz
    // (bars 25 and 33 open with a long sub impact instead).
    const std::vector<double> kick = KickBand(mono);
    struct Bars
    {
        int first, last;
        bool kick;
    };
    const Bars bars[] = {{1, 8, false}, {9, 24, true}, {26, 32, false}, {34, 44, true}, {46, 48, false}};
    for (const Bars& row : bars) {
        for (int bar = row.first; bar <= row.last; ++bar) {
            const double start = (bar - 1) * Bar;
            const double level = RmsDb(kick, start, start + Bar);
            if (!row.kick) {
                EXPECT_LT(level, -40.0) << "bar " << bar;
                continue;
            }
            EXPECT_GT(level, -33.0) << "bar " << bar;
            for (int beat = 0; beat < 4; ++beat) {
                const double at = start + beat * Beat;
                EXPECT_LT(PeakAfter(kick, at, at + Beat), 0.2) << "bar " << bar << " beat " << beat + 1;
            }
        }
    }

    // Stretches (seconds) at least so many dB below a reference stretch.
    struct Quieter
    {
        const char* what;
        double from, to, refFrom, refTo, dB;
    };
    const Quieter quieter[] = {
        {"intro under the build", 0.0, 8 * Bar, 8 * Bar, 16 * Bar, 4.0},
        {"break under the drop", 25 * Bar, 32 * Bar, 32 * Bar, 40 * Bar, 2.0},
        {"last beat before the drop", 32 * Bar - Beat, 32 * Bar, 31 * Bar, 32 * Bar - Beat, 12.0},
        {"the end", 48 * Bar - 0.5, 48 * Bar, 0.0, 48 * Bar, 60.0},
    };
    for (const Quieter& q : quieter) {
        EXPECT_LT(RmsDb(mono, q.from, q.to), RmsDb(mono, q.refFrom, q.refTo) - q.dB) << q.what;
    }

    // Each 8-bar section is stereo but keeps its body when played in mono: the
    // channels neither the same nor far apart or opposed.
    for (int section = 0; section < 6; ++section) {
        double lr = 0.0, ll = 0.0, rr = 0.0;
        for (size_t i = 2 * Sample(section * 8 * Bar); i < 2 * Sample((section + 1) * 8 * Bar); i += 2) {
            lr += static_cast<double>(pcm[i]) * pcm[i + 1];
            ll += static_cast<double>(pcm[i]) * pcm[i];
            rr += static_cast<double>(pcm[i + 1]) * pcm[i + 1];
        }
        const double correlation = lr / std::sqrt(ll * rr);
        EXPECT_GT(correlation, 0.5) << "section " << section + 1;
        EXPECT_LT(correlation, 0.995) << "section " << section + 1;
    }
}
