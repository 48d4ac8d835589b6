#include "Halvorn/DemoModel.h"
#include "OutputCapture.h"
#include "RecordingPart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;
using Lines = std::vector<std::string>;

namespace {

// The expected log: the move lines, then the status report with the parts
// given as "name (start-end)...".
Lines Report(Lines lines, const std::string& time, const Lines& past, const Lines& current, const Lines& future)
{
    const auto section = [&lines](const std::string& title, const Lines& parts) {
        lines.push_back(title);
        for (const std::string& part : parts) {
            lines.push_back("  - " + part);
        }
        lines.insert(lines.end(), {"", ""});
    };
    lines.push_back("== Time now " + time + " ==");
    section("== Past parts ==", past);
    section("== Current parts ==", current);
    section("== Future parts ==", future);
    return lines;
}

Lines Names(const boost::ptr_list<DemoPart>& parts)
{
    Lines names;
    for (const DemoPart& part : parts) {
        names.push_back(part.mName.toStdString());
    }
    return names;
}

class DemoModelTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        Capture([&] { mModel.reset(); });
    }
    void Add(double start, double end, unsigned int priority, const QString& name)
    {
        mModel->AddPart(new VexelTest::RecordingPart(mJournal, start, end, priority, name));
    }
    // One frame as the application runs it, update then render; returns the log lines.
    Lines Frame(double delta, bool goesOn = true)
    {
        const auto frame = Capture([&] {
            EXPECT_EQ(mModel->Update(delta), goesOn);
            mModel->Render(delta);
        });
        return frame.OutLines();
    }

    VexelTest::PartJournal mJournal;
    std::unique_ptr<DemoModel> mModel = std::make_unique<DemoModel>();
};

} // namespace

TEST_F(DemoModelTest, EmptyTimelineEndsUnlessKeptRunning)
{
    mModel->mKeepRunning = 1;
    EXPECT_EQ(Frame(0.5, true), Lines{});
    mModel->mKeepRunning = 0;
    EXPECT_EQ(Frame(0.5, false), Lines{});
}

TEST_F(DemoModelTest, PartRunsFromStartToExactlyItsLengthThenRetires)
{
    Add(0.0, 5.0, 0, "intro");
    EXPECT_EQ(Frame(0.0), Report({"Moving futurepart \"intro\" to currentparts..."}, "0", {}, {"intro (0-5)"}, {}));
    EXPECT_EQ(mJournal.Take(), (Lines{"begin intro", "update intro 0 0 0", "render intro 0 0 0"}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Frame(1.5), Lines{});
    }
    mJournal.Take();

    // The clock passes the end at 6; this update only takes the remaining 0.5.
    EXPECT_EQ(Frame(1.5), Lines{});
    EXPECT_EQ(mJournal.Take(), (Lines{"update intro 0.5 5 5", "render intro 0.5 5 5"}));
    EXPECT_EQ(mModel->mCurrentParts.front().mRunningTime, 5.0);
    EXPECT_EQ(mModel->mCurrentParts.front().mLastTime, 5.0);

    EXPECT_EQ(Frame(1.5, false), Report({"Moving currentpart \"intro\" to pastparts..."}, "7.5",
                                        {"intro (0-5) total running time=5"}, {}, {}));
    // Nothing left to draw in the last frame.
    EXPECT_EQ(mJournal.Take(), (Lines{"end intro"}));
}

TEST_F(DemoModelTest, FutureListStaysStablySortedByStart)
{
    // A start that is not a number never becomes due: it goes last and holds nothing back.
    const std::pair<double, const char*> parts[] = {{std::nan(""), "n"}, {3, "a"}, {1, "b"}, {2, "c"}, {1, "d"},
                                                    {0, "e"}, {std::nan(""), "m"}, {2, "f"}, {3, "g"}, {0.5, "h"}};
    for (const auto& [start, name] : parts) {
        Add(start, 10.0, 0, name);
    }
    EXPECT_EQ(Names(mModel->mFutureParts), (Lines{"e", "h", "b", "d", "c", "f", "a", "g", "n", "m"}));

    // Equal starts and priorities enter, update and draw in the order they were added.
    Frame(1.0);
    EXPECT_EQ(Names(mModel->mCurrentParts), (Lines{"e", "h", "b", "d"}));
    EXPECT_EQ(Names(mModel->mFutureParts), (Lines{"c", "f", "a", "g", "n", "m"}));
}

TEST_F(DemoModelTest, RunningPartsGoByPriorityAndEnterWithTheTimeSinceTheirStart)
{
    Add(0.0, 10.0, 3, "three");
    Add(5.0, 10.0, 1, "one");
    Add(4.5, 10.0, 2, "two");
    Add(6.0, 10.0, 1, "one-later");
    Frame(4.0);
    mJournal.Take();

    Frame(1.25);
    EXPECT_EQ(mJournal.Take(),
              (Lines{"begin two", "begin one", "update one 0.25 0.25 5.25", "update two 0.75 0.75 5.25",
                     "update three 1.25 5.25 5.25", "render one 0.25 0.25 5.25", "render two 0.75 0.75 5.25",
                     "render three 1.25 5.25 5.25"}));
    // The next frame is an ordinary step for every part.
    Frame(0.5);
    EXPECT_EQ(mJournal.Take(),
              (Lines{"update one 0.5 0.75 5.75", "update two 0.5 1.25 5.75", "update three 0.5 5.75 5.75",
                     "render one 0.5 0.75 5.75", "render two 0.5 1.25 5.75", "render three 0.5 5.75 5.75"}));
    // Among equal priorities the newcomer goes after the parts already running.
    Frame(0.5);
    EXPECT_EQ(Names(mModel->mCurrentParts), (Lines{"one", "one-later", "two", "three"}));
}

TEST_F(DemoModelTest, PartWithNoTimeInsideAnyFrameMovesThroughWithoutBeingDrawn)
{
    Add(0.3, 0.4, 0, "between");   // the whole interval between two frames
    Add(0.4, 0.3, 0, "reversed");  // end before start
    Add(0.5, 0.5, 0, "empty");     // zero length, starting on a frame
    Add(0.3, std::nan(""), 0, "nan");
    Frame(0.25);
    EXPECT_EQ(Frame(0.25, false),
              Report({"Moving futurepart \"between\" to currentparts...", "Moving futurepart \"nan\" to currentparts...",
                      "Moving futurepart \"reversed\" to currentparts...", "Moving futurepart \"empty\" to currentparts...",
                      "Moving currentpart \"between\" to pastparts...", "Moving currentpart \"nan\" to pastparts...",
                      "Moving currentpart \"reversed\" to pastparts...", "Moving currentpart \"empty\" to pastparts..."},
                     "0.5",
                     {"between (0.3-0.4) total running time=0", "nan (0.3-nan) total running time=0",
                      "reversed (0.4-0.3) total running time=0", "empty (0.5-0.5) total running time=0"},
                     {}, {}));
    EXPECT_EQ(mJournal.Take(), (Lines{"begin between", "begin nan", "begin reversed", "begin empty", "end between",
                                      "end nan", "end reversed", "end empty"}));
}

TEST_F(DemoModelTest, ClearAndDestructionDeleteFutureThenCurrentThenPast)
{
    // Leaves one part in each list.
    const auto fill = [&] {
        Add(0.0, 0.1, 0, "gone");
        Add(0.0, 1.23456789, 0, "Intro ÄÖ");
        Add(123456.7, 2000000.0, 0, "far");
        for (const double delta : {0.05, 0.05, 1.0 / 30.0}) {
            Frame(delta);
        }
        mJournal.Take();
    };
    mModel->mName = "demo";
    fill();
    Capture([&] { mModel->Clear(); });
    EXPECT_EQ(mJournal.Take(), (Lines{"delete far", "delete Intro ÄÖ", "delete gone"}));
    EXPECT_EQ(mModel->mTime, 0.0);
    EXPECT_EQ(mModel->mName, "demo");

    fill();
    // The report comes first, with six significant digits, and running parts get no EndPart.
    EXPECT_EQ(Capture([&] { mModel.reset(); }).OutLines(),
              Report({}, "0.133333", {"gone (0-0.1) total running time=0.1"}, {"Intro ÄÖ (0-1.23457)"},
                     {"far (123457-2e+06)"}));
    EXPECT_EQ(mJournal.Take(), (Lines{"delete far", "delete Intro ÄÖ", "delete gone"}));
}

TEST_F(DemoModelTest, NullPartIsRefusedWithThePointerListsException)
{
    Add(1.0, 2.0, 0, "a");
    EXPECT_EQ(Capture([&] { mModel->AddPart(nullptr); }).What(), "Null pointer in 'push_back()'");
    EXPECT_EQ(Names(mModel->mFutureParts), Lines{"a"});
}
