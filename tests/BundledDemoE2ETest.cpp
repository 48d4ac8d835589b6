#include "ProgramRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>
#include <string>
#include <tuple>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ContainsSequence;
using VexelTest::IndexOf;
using VexelTest::ProgramRun;
using VexelTest::RunMorvelin;
using VexelTest::RunningProgram;
using VexelTest::RunResult;

namespace {

int CountLinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix)
{
    int count = 0;
    for (const std::string& line : lines) {
        count += line.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

int CountOccurrences(const std::string& text, const std::string& what)
{
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace

// The README's demo, played from its own folder to the end.
TEST(BundledDemoE2ETest, PlaysEveryPartToTheEndWithoutAComplaint)
{
    const std::string demo = VEXEL_DEMO_DIR;
    const int partEntries = CountOccurrences(VexelTest::ReadFile(demo + "/morvelin.xml"), "<part ");
    ASSERT_GT(partEntries, 100);

    ProgramRun run;
    run.copies = {{demo + "/morvelin.xml", "morvelin.xml"}, {demo + "/data", "data"}};
    run.timeout = 150s;
    size_t colours = 0;
    run.whileRunning = [&](RunningProgram& program) {
        // Mid-demo, in the spinning test scene: the screen is a picture, not a flat colour.
        if (program.WaitForOutput("Moving futurepart \"spinning test scene\" to currentparts...", 120s)) {
            std::this_thread::sleep_for(500ms);
            const std::vector<unsigned char> shot = program.Screenshot();
            std::set<std::tuple<int, int, int>> seen;
            for (size_t i = 0; i + 2 < shot.size(); i += 3 * 97) {
                seen.insert({shot[i], shot[i + 1], shot[i + 2]});
            }
            colours = seen.size();
        }
    };
    const RunResult result = RunMorvelin(run);
    ASSERT_EQ(result.exitCode, 0) << "signal " << result.signal << (result.timedOut ? " (timed out)" : "") << "\n"
                                  << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_GT(colours, 50u);

    const std::vector<std::string> out = result.OutLines();
    EXPECT_NE(IndexOf(out, "BassAudio2d::LoadMusic() - loading music from \"data/music/morvelin.ogg\""), -1);
    EXPECT_EQ(CountLinesStartingWith(out, "KorvaneApp::GetDemoPart()"), partEntries);
    EXPECT_EQ(CountLinesStartingWith(out, "Moving futurepart "), partEntries);
    EXPECT_EQ(CountLinesStartingWith(out, "Moving currentpart "), partEntries);
    for (const char* className : {"class=Image,", "class=ClearScreen,", "class=TestPartVao,"}) {
        EXPECT_GT(CountOccurrences(result.out, className), 0) << className;
    }
    // It ended by itself: nothing is left running or waiting in the final report.
    const int shutdown = IndexOf(out, "KorvaneApp::~KorvaneApp()");
    ASSERT_NE(shutdown, -1);
    EXPECT_EQ(IndexOf(out, "VexelApp::KeyDown(): Key code 27 pressed down."), -1);
    EXPECT_TRUE(ContainsSequence(std::vector<std::string>(out.begin() + shutdown, out.end()),
                                 {"== Current parts ==", "", "", "== Future parts ==", "", ""}));
    EXPECT_NE(IndexOf(out, "VexelApp::~VexelApp()", shutdown), -1);
}
