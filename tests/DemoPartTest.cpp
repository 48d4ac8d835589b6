#include "AssertException.h"
#include "Halvorn/DemoPart.h"
#include "OutputCapture.h"
#include "RecordingPart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;
using VexelTest::PartJournal;
using VexelTest::RecordingPart;
using Lines = std::vector<std::string>;
using Params = std::vector<DemoPartParam>;

TEST(DemoPartTest, ClearColorIsReadFromTheAttributesAndWrapsToEightBits)
{
    const struct
    {
        Params attributes;
        glm::vec4 expected;
    } cases[] = {
        {{}, {0, 0, 0, 1}},
        {{{"clearColor", "255 128 0"}}, {255, 128, 0, 255}},
        {{{"clearColor", "300 -1 7 9"}}, {44, 255, 7, 255}},
        {{{"clearColor", "  256\t+0\n511"}}, {0, 0, 255, 255}},
        {{{"clearColor", "1 2 3"}, {"clearBackground", "false"}, {"clearColor", "4 5 6"}}, {4, 5, 6, 255}},
        {{{"clearcolor", "9 9 9"}, {"ClearColor", "9 9 9"}}, {0, 0, 0, 1}},
    };
    PartJournal journal;
    for (const auto& c : cases) {
        const RecordingPart part(journal, 0, 1, 0, "p", c.attributes);
        EXPECT_EQ(part.mClearColor, c.expected) << (c.attributes.empty() ? "" : c.attributes[0].mValue.toStdString());
    }
    // Only the attributes count, not the param elements.
    const RecordingPart fromParams(journal, 0, 1, 0, "p", {}, {{"clearColor", "1 2 3"}});
    EXPECT_EQ(fromParams.mClearColor, glm::vec4(0, 0, 0, 1));
}

TEST(DemoPartTest, UnreadableClearColorFailsForTheFirstMissingChannel)
{
    const struct
    {
        const char* value;
        const char* channel;
    } cases[] = {
        {"10 20", "blue"}, {"red 1 2", "red"}, {"", "red"}, {"10,20,30", "green"}, {"1 2 x", "blue"},
        {"99999999999 0 0", "red"},
    };
    PartJournal journal;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const auto captured = Capture([&] {
            RecordingPart part(journal, 0, 1, 0, "p", {{"clearColor", "1 2 3"}, {"clearColor", c.value}});
        });
        ASSERT_TRUE(captured.Threw());
        EXPECT_THROW(std::rethrow_exception(captured.exception), AssertException);
        const Lines lines = captured.ErrLines();
        ASSERT_EQ(lines.size(), 4u) << captured.err;
        EXPECT_EQ(lines[0], std::string("FATAL ERROR: Assertion (0 != 0 && \"=> clearColor-attribute has unknown ") +
                                c.channel + " value!\") failed!");
        EXPECT_NE(lines[1].find("DemoPart::DemoPart("), std::string::npos) << lines[1];
        EXPECT_EQ(lines[2], "  in \"lib/Vexel/src/Halvorn/DemoPart.cpp\"");
    }
    // The part was never made, so nothing was deleted either.
    EXPECT_TRUE(journal.Take().empty());
}

TEST(DemoPartTest, EachUpdateAddsItsStepToTheRunningTime)
{
    PartJournal journal;
    RecordingPart part(journal, 1, 5, 0, "p");
    part.Update(0.1, 1.1);
    part.Update(0.2, 1.3);
    part.Update(0.3, 1.6);
    EXPECT_EQ(journal.Take(), (Lines{"update p 0.1 0.1 1.1", "update p 0.2 0.3 1.3", "update p 0.3 0.6 1.6"}));
    EXPECT_NEAR(part.mRunningTime, 0.6, 1e-12);
}

TEST(DemoPartTest, PendingStepReplacesOneDeltaAndIsReplayedAtDrawing)
{
    PartJournal journal;
    RecordingPart part(journal, 5, 9, 0, "p");
    part.mPendingStep = 0.25;
    part.Update(0.5, 5.25);
    part.Render(123.0, 456.0);
    EXPECT_EQ(part.mPendingStep, 0.0);
    part.Update(0.5, 5.75);
    part.Render(0.0, 0.0);
    EXPECT_EQ(journal.Take(), (Lines{"update p 0.25 0.25 5", "render p 0.25 0.25 5", "update p 0.5 0.75 5.75",
                                     "render p 0.5 0.75 5.75"}));
}

TEST(DemoPartTest, RenderBeforeAndBetweenUpdatesRepeatsTheLatestValues)
{
    PartJournal journal;
    RecordingPart part(journal, 0, 5, 0, "p");
    part.Render(1.0, 1.0);
    part.Update(0.02, 3.0);
    part.Render(0.5, 9.0);
    part.Render(0.7, 10.0);
    EXPECT_EQ(journal.Take(),
              (Lines{"render p 0 0 0", "update p 0.02 0.02 3", "render p 0.02 0.02 3", "render p 0.02 0.02 3"}));
}

TEST(DemoPartTest, FixedStepsConsumeTheDeltaInWholeStepsAndKeepTheRest)
{
    const struct
    {
        std::vector<double> deltas;
        Lines expected;
        double remainder;
    } cases[] = {
        {{0.25}, {"update p 0.1 0.1 10.1", "update p 0.1 0.2 10.2", "render p 0.25 0.2 10.25"}, 0.05},
        {{0.05}, {"render p 0.05 0 10.05"}, 0.05},
        // Step times count on from the start of the frame that completes the step.
        {{0.05, 0.07}, {"update p 0.1 0.1 10.15", "render p 0.07 0.1 10.12"}, 0.02},
    };
    PartJournal journal;
    for (const auto& c : cases) {
        journal.Take();
        RecordingPart part(journal, 0, 100, 0, "p");
        part.mFixedStep = true;
        part.mFixedStepLength = 0.1;
        double time = 10.0;
        for (double delta : c.deltas) {
            time += delta;
            part.Update(delta, time);
        }
        part.Render(0, 0);
        EXPECT_EQ(journal.Take(), c.expected);
        EXPECT_NEAR(part.mFixedStepAccumulator, c.remainder, 1e-9);
    }
}

TEST(DemoPartTest, FixedStepOfZeroOrLessIsRefusedInsteadOfLoopingForever)
{
    for (double length : {0.0, -0.1, std::nan("")}) {
        SCOPED_TRACE(length);
        PartJournal journal;
        RecordingPart part(journal, 0, 100, 0, "p");
        part.mFixedStep = true;
        part.mFixedStepLength = length;
        const auto captured = Capture([&] { part.Update(0.25, 0.25); });
        ASSERT_TRUE(captured.Threw());
        EXPECT_EQ(captured.ErrLines().at(0),
                  "FATAL ERROR: Assertion (mFixedStepLength > 0.0 && \"=> fixed step length must be greater than "
                  "zero!\") failed!");
        EXPECT_EQ(journal.Take(), Lines{});
    }
}

TEST(DemoPartTest, DescriptionLine)
{
    const struct
    {
        double start, end;
        unsigned int priority;
        const char* name;
        const char* className;
        const char* music;
        const char* expected;
    } cases[] = {
        {0, 12.5, 1, "intro", "ClearScreen", "", "DemoPart [0 - 12.5 intro, class=ClearScreen, priority=1, music=]"},
        {static_cast<double>(0.1f), 1e6, 4294967295u, "Ääni ♪", "Image", "main",
         "DemoPart [0.1 - 1e+06 Ääni ♪, class=Image, priority=4294967295, music=main]"},
        {1.23456789, -2.5, 0, "", "", "", "DemoPart [1.23457 - -2.5 , class=, priority=0, music=]"},
    };
    PartJournal journal;
    for (const auto& c : cases) {
        RecordingPart part(journal, c.start, c.end, c.priority, c.name);
        part.mClassName = c.className;
        part.mMusicTrack = c.music;
        const auto captured = Capture([&] { part.PrintDescription(); });
        EXPECT_EQ(captured.out, std::string(c.expected) + "\n");
    }
}

TEST(DemoPartTest, CloneIsBuiltFromThePartsOwnCopiesOfItsLists)
{
    PartJournal journal;
    std::unique_ptr<RecordingPart> original;
    {
        // The loader's lists die right after construction.
        Params attributes{{"clearColor", "1 2 3"}, {"clearBackground", "false"}};
        Params params{{"color", "10 20 30"}};
        original = std::make_unique<RecordingPart>(journal, 2, 7, 4, "orig", attributes, params);
        attributes.assign(50, DemoPartParam("overwritten", "x"));
        params.clear();
    }
    std::unique_ptr<DemoPart> copy(original->Clone());
    original.reset();

    ASSERT_EQ(copy->mAttributeParams.size(), 2u);
    EXPECT_EQ(copy->mAttributeParams[1].mName, "clearBackground");
    EXPECT_EQ(copy->mAttributeParams[1].mValue, "false");
    ASSERT_EQ(copy->mParams.size(), 1u);
    EXPECT_EQ(copy->mParams[0].mValue, "10 20 30");
    EXPECT_EQ(copy->mClearColor, glm::vec4(1, 2, 3, 255));
    EXPECT_EQ(copy->mStart, 2.0);
    EXPECT_EQ(copy->mEnd, 7.0);
    EXPECT_EQ(copy->mPriority, 4u);
    EXPECT_EQ(copy->mName, "orig");
}
