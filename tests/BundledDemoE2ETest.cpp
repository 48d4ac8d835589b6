#include "ProgramRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace std::chrono_literals;

namespace {

int CountMatches(const std::string& text, const std::string& pattern)
{
    const std::regex regex(pattern);
    return static_cast<int>(
        std::distance(std::sregex_iterator(text.begin(), text.end(), regex), std::sregex_iterator()));
}

} // namespace

// The README's demo, played from its own folder to the end.
TEST(BundledDemoE2ETest, PlaysEveryPartToTheEndWithoutAComplaint)
{
    const std::string demo = VEXEL_DEMO_DIR;
    const std::string xml = VexelTest::ReadFile(demo + "/morvelin.xml");
    const int partEntries = CountMatches(xml, "<part ");
    // Shaders, text, buffers and the music's reactions together, keyed in beats of its tempo.
    ASSERT_GT(partEntries, 30);
    EXPECT_EQ(CountMatches(xml, "<tempo bpm=\"128\""), 1);
    EXPECT_GT(CountMatches(xml, "<animate key=\"\\w+\" beats="), 20);
    EXPECT_GT(CountMatches(xml, "<react key="), 10);
    EXPECT_GE(CountMatches(xml, "<buffer name="), 3);
    EXPECT_GT(CountMatches(xml, "<param [^>]*target="), 5);

    VexelTest::ProgramRun run;
    run.copies = {{demo + "/morvelin.xml", "morvelin.xml"}, {demo + "/data", "data"}};
    run.timeout = 180s;
    size_t colours = 0;
    run.whileRunning = [&](VexelTest::RunningProgram& program) {
        // In the groove: the knot drawn into a buffer, bloomed and put on the screen.
        if (program.WaitForOutput("Moving futurepart \"knot\" to currentparts...", 150s)) {
            std::this_thread::sleep_for(1500ms);
            const std::vector<unsigned char> shot = program.Screenshot();
            std::set<std::tuple<int, int, int>> seen;
            for (size_t i = 0; i + 2 < shot.size(); i += 3 * 97) {
                seen.insert({shot[i], shot[i + 1], shot[i + 2]});
            }
            colours = seen.size();
        }
    };
    const VexelTest::RunResult result = VexelTest::RunMorvelin(run);
    ASSERT_EQ(result.exitCode, 0) << "signal " << result.signal << (result.timedOut ? " (timed out)" : "") << "\n"
                                  << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_GT(colours, 50u);

    const std::string& out = result.out;
    EXPECT_EQ(CountMatches(out, "\nBassAudio2d::LoadMusic\\(\\) - loading music from \"data/music/morvelin.ogg\"\n"),
              1);
    EXPECT_EQ(CountMatches(out, "\nKorvaneApp::GetDemoPart\\(\\)\n"), partEntries);
    EXPECT_EQ(CountMatches(out, "\nMoving futurepart "), partEntries);
    EXPECT_EQ(CountMatches(out, "\nMoving currentpart "), partEntries);
    for (const char* className : {"class=Shader,", "class=Text,", "class=ClearScreen,"}) {
        EXPECT_GT(CountMatches(out, className), 0) << className;
    }
    // It ended by itself with its last part, with the music, after a minute and a half:
    // nothing is left running or waiting in the final report.
    EXPECT_EQ(out.find("Key code 27 pressed down."), std::string::npos);
    const std::string shutdown = out.substr(std::min(out.find("\nKorvaneApp::~KorvaneApp()\n"), out.size()));
    std::smatch music, end;
    ASSERT_TRUE(std::regex_search(out, music, std::regex("\nMusic length ([0-9.]+)s ")));
    ASSERT_TRUE(std::regex_search(shutdown, end, std::regex("^\n.*\n== Time now ([0-9.]+) ==\n"))) << shutdown;
    EXPECT_NEAR(std::stod(end[1]), 90.0, 2.0);
    EXPECT_NEAR(std::stod(music[1]), 90.0, 1.0);
    EXPECT_NE(shutdown.find("\n== Current parts ==\n\n\n== Future parts ==\n\n\n"), std::string::npos);
    EXPECT_NE(shutdown.find("\nVexelApp::~VexelApp()\n"), std::string::npos);
}

// What the maker's check says of it, with a GL context so its shaders are compiled too.
TEST(BundledDemoE2ETest, TheCheckFindsNothingToSay)
{
    VexelTest::ProgramRun run;
    run.args = {"--check", VEXEL_DEMO_DIR "/morvelin.xml"};
    const VexelTest::RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.OutLines(), std::vector<std::string>{"0 errors, 0 warnings"}) << result.out << result.err;
    EXPECT_EQ(result.err, "");
}
