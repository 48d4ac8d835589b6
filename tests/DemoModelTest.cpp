#include "Halvorn/DemoModel.h"
#include "OutputCapture.h"
#include "RecordingPart.h"

#include <boost/ptr_container/exception.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;
using VexelTest::PartJournal;
using VexelTest::RecordingPart;
using Lines = std::vector<std::string>;

namespace {

// The expected status report; parts are given as "name (start-end)...".
Lines Report(const std::string& time, const Lines& past, const Lines& current, const Lines& future)
{
    Lines lines{"== Time now " + time + " ==", "== Past parts =="};
    const auto section = [&lines](const Lines& parts) {
        for (const std::string& part : parts) {
            lines.push_back("  - " + part);
        }
        lines.insert(lines.end(), {"", ""});
    };
    section(past);
    lines.push_back("== Current parts ==");
    section(current);
    lines.push_back("== Future parts ==");
    section(future);
    return lines;
}

Lines Concat(Lines first, const Lines& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
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
    RecordingPart* Add(double start, double end, unsigned int priority, const QString& name)
    {
        auto* part = new RecordingPart(mJournal, start, end, priority, name);
        mModel->AddPart(part);
        return part;
    }
    // Leaves one part in each list.
    void RunUntilTwoSeconds()
    {
        Add(0.0, 0.5, 0, "past");
        Add(0.0, 9.0, 0, "current");
        Add(5.0, 9.0, 0, "future");
        for (double delta : {0.25, 0.75, 1.0}) {
            Frame(delta);
        }
        mJournal.Take();
    }
    // One frame as the application runs it: update, then render.
    VexelTest::Captured Frame(double delta, bool expectGoesOn = true)
    {
        return Capture([&] {
            EXPECT_EQ(mModel->Update(delta), expectGoesOn);
            mModel->Render(delta);
        });
    }

    PartJournal mJournal;
    std::unique_ptr<DemoModel> mModel = std::make_unique<DemoModel>();
};

} // namespace

TEST_F(DemoModelTest, WithoutPartsItStopsAtOnceAndReportsOnlyAtDestruction)
{
    EXPECT_TRUE(Frame(0.016, false).out.empty());
    const auto destroyed = Capture([&] { mModel.reset(); });
    EXPECT_EQ(destroyed.out,
              "== Time now 0.016 ==\n== Past parts ==\n\n\n== Current parts ==\n\n\n== Future parts ==\n\n\n");
    EXPECT_TRUE(destroyed.err.empty());
}

TEST_F(DemoModelTest, KeepRunningHoldsAnEmptyTimelineOpen)
{
    mModel->mKeepRunning = 1;
    Frame(0.5, true);
    mModel->mKeepRunning = 0;
    Frame(0.5, false);
}

TEST_F(DemoModelTest, PartRunsFromStartToExactlyItsLengthThenRetires)
{
    RecordingPart* part = Add(0.0, 5.0, 0, "intro");

    auto frame = Frame(1.5);
    EXPECT_EQ(frame.OutLines(),
              Concat({"Moving futurepart \"intro\" to currentparts..."}, Report("1.5", {}, {"intro (0-5)"}, {})));
    EXPECT_EQ(mJournal.Take(), (Lines{"begin intro", "update intro 1.5 1.5 1.5", "render intro 1.5 1.5 1.5"}));

    EXPECT_TRUE(Frame(1.5).out.empty());
    EXPECT_TRUE(Frame(1.5).out.empty());
    mJournal.Take();

    // The clock passes the end at 6; this update only takes the remaining 0.5.
    EXPECT_TRUE(Frame(1.5).out.empty());
    EXPECT_EQ(mJournal.Take(), (Lines{"update intro 0.5 5 5", "render intro 0.5 5 5"}));
    EXPECT_EQ(part->mRunningTime, 5.0);
    EXPECT_EQ(part->mUpdates.back().time, 5.0);

    frame = Frame(1.5, false);
    EXPECT_EQ(frame.OutLines(), Concat({"Moving currentpart \"intro\" to pastparts..."},
                                       Report("7.5", {"intro (0-5) total running time=5"}, {}, {})));
    // Nothing left to draw in the last frame.
    EXPECT_EQ(mJournal.Take(), (Lines{"end intro"}));
}

TEST_F(DemoModelTest, StartZeroIsCurrentInTheFirstFrameEvenWithZeroDelta)
{
    Add(0.0, 1.0, 0, "a");
    const auto frame = Frame(0.0);
    EXPECT_EQ(frame.OutLines().at(0), "Moving futurepart \"a\" to currentparts...");
    EXPECT_EQ(mJournal.Take(), (Lines{"begin a", "update a 0 0 0", "render a 0 0 0"}));
}

TEST_F(DemoModelTest, PartEnteringInsideAFrameGetsOnlyTheTimeSinceItsStart)
{
    Add(0.0, 10.0, 0, "running");
    Add(5.0, 10.0, 1, "late");
    Frame(4.0);
    mJournal.Take();

    Frame(1.25);
    EXPECT_EQ(mJournal.Take(), (Lines{"begin late", "update running 1.25 5.25 5.25", "update late 0.25 0.25 5.25",
                                      "render running 1.25 5.25 5.25", "render late 0.25 0.25 5.25"}));
    // A second frame is an ordinary step again.
    Frame(0.5);
    EXPECT_EQ(mJournal.Take(), (Lines{"update running 0.5 5.75 5.75", "update late 0.5 0.75 5.75",
                                      "render running 0.5 5.75 5.75", "render late 0.5 0.75 5.75"}));
}

TEST_F(DemoModelTest, FutureListStaysStablySortedByStart)
{
    const struct
    {
        double start;
        const char* name;
    } parts[] = {{3, "a"}, {1, "b"}, {2, "c"}, {1, "d"}, {0, "e"}, {2, "f"}, {3, "g"}, {0.5, "h"}};
    for (const auto& part : parts) {
        Add(part.start, 10.0, 0, part.name);
    }
    EXPECT_EQ(Names(mModel->mFutureParts), (Lines{"e", "h", "b", "d", "c", "f", "a", "g"}));

    // Equal starts and priorities enter, update and draw in the order they were added.
    Capture([&] { mModel->Update(1.0); });
    EXPECT_EQ(Names(mModel->mCurrentParts), (Lines{"e", "h", "b", "d"}));
    EXPECT_EQ(Names(mModel->mFutureParts), (Lines{"c", "f", "a", "g"}));
}

TEST_F(DemoModelTest, RunningPartsAreUpdatedAndDrawnByPriority)
{
    Add(0.0, 10.0, 3, "three");
    Add(0.5, 10.0, 1, "one");
    Add(0.25, 10.0, 2, "two");
    Add(2.0, 10.0, 1, "one-later");
    Frame(1.0);
    mJournal.Take();

    Frame(0.5);
    EXPECT_EQ(mJournal.Take(), (Lines{"update one 0.5 1 1.5", "update two 0.5 1.25 1.5", "update three 0.5 1.5 1.5",
                                      "render one 0.5 1 1.5", "render two 0.5 1.25 1.5", "render three 0.5 1.5 1.5"}));
    // Among equal priorities the newcomer goes after the parts already running.
    Frame(0.5);
    EXPECT_EQ(Names(mModel->mCurrentParts), (Lines{"one", "one-later", "two", "three"}));
}

TEST_F(DemoModelTest, PartWithNoTimeInsideAnyFrameMovesThroughWithoutBeingDrawn)
{
    const struct
    {
        double start, end;
        const char* report;
    } cases[] = {
        {0.3, 0.4, "p (0.3-0.4) total running time=0"},  // whole interval between two frames
        {0.4, 0.3, "p (0.4-0.3) total running time=0"},  // end before start
        {0.5, 0.5, "p (0.5-0.5) total running time=0"},  // zero length, start on a frame
        {0.3, std::nan(""), "p (0.3-nan) total running time=0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        Add(c.start, c.end, 0, "p");
        Frame(0.25);
        const auto frame = Frame(0.25, false);
        EXPECT_EQ(frame.OutLines(), Concat({"Moving futurepart \"p\" to currentparts...",
                                            "Moving currentpart \"p\" to pastparts..."},
                                           Report("0.5", {c.report}, {}, {})));
        EXPECT_EQ(mJournal.Take(), (Lines{"begin p", "end p"}));
        Capture([&] { mModel = std::make_unique<DemoModel>(); });
        mJournal.Take();
    }
}

TEST_F(DemoModelTest, StartThatIsNotANumberNeverBecomesDueNorHoldsOthersBack)
{
    Add(std::nan(""), 1.0, 0, "never");
    Add(0.0, 1.0, 0, "first");
    Add(std::nan(""), 1.0, 0, "never2");
    Add(0.5, 1.0, 0, "second");
    EXPECT_EQ(Names(mModel->mFutureParts), (Lines{"first", "second", "never", "never2"}));
    Frame(0.75);
    EXPECT_EQ(Names(mModel->mCurrentParts), (Lines{"first", "second"}));
    EXPECT_EQ(Names(mModel->mFutureParts), (Lines{"never", "never2"}));
}

TEST_F(DemoModelTest, StatusReportListsEveryPartWithSixSignificantDigits)
{
    Add(0.0, 0.1, 0, "gone");
    Add(0.0, 1.23456789, 0, "Intro ÄÖ");
    Add(123456.7, 2000000.0, 0, "far");
    Frame(0.05);
    Frame(0.05);
    Frame(0.05);
    const auto report = Capture([&] { mModel->PrintStatus(1.0 / 3.0); });
    EXPECT_EQ(report.out, "== Time now 0.333333 ==\n"
                          "== Past parts ==\n"
                          "  - gone (0-0.1) total running time=0.1\n"
                          "\n\n"
                          "== Current parts ==\n"
                          "  - Intro ÄÖ (0-1.23457)\n"
                          "\n\n"
                          "== Future parts ==\n"
                          "  - far (123457-2e+06)\n"
                          "\n\n");
}

TEST_F(DemoModelTest, ClearAndDestructionDeleteFutureThenCurrentThenPast)
{
    mModel->mName = "demo";
    RunUntilTwoSeconds();

    Capture([&] { mModel->Clear(); });
    EXPECT_EQ(mJournal.Take(), (Lines{"delete future", "delete current", "delete past"}));
    EXPECT_EQ(mModel->mTime, 0.0);
    EXPECT_EQ(mModel->mName, "demo");

    RunUntilTwoSeconds();
    // The report comes first, and running parts get no EndPart.
    const auto destroyed = Capture([&] { mModel.reset(); });
    EXPECT_EQ(destroyed.OutLines(), Report("2", {"past (0-0.5) total running time=0.5"}, {"current (0-9)"},
                                           {"future (5-9)"}));
    EXPECT_EQ(mJournal.Take(), (Lines{"delete future", "delete current", "delete past"}));
}

TEST_F(DemoModelTest, NullPartIsRefusedWithThePointerListsException)
{
    for (int existing = 0; existing < 2; ++existing) {
        if (existing == 1) {
            Add(1.0, 2.0, 0, "a");
        }
        try {
            mModel->AddPart(nullptr);
            ADD_FAILURE() << "a null part was accepted";
        } catch (const boost::bad_pointer& e) {
            EXPECT_STREQ(e.what(), "Null pointer in 'push_back()'");
        }
        EXPECT_EQ(mModel->mFutureParts.size(), static_cast<size_t>(existing));
    }
}
