#include "AssertException.h"
#include "Halvorn/DemoPart.h"
#include "OutputCapture.h"
#include "RecordingPart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <tuple>
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
        EXPECT_EQ(RecordingPart(journal, 0, 1, 0, "p", c.attributes).mClearColor, c.expected) << &c - cases;
    }
    // Only the attributes count, not the param elements.
    EXPECT_EQ(RecordingPart(journal, 0, 1, 0, "p", {}, {{"clearColor", "1 2 3"}}).mClearColor, glm::vec4(0, 0, 0, 1));
}

TEST(DemoPartTest, UnreadableClearColorFailsForTheFirstMissingChannel)
{
    const std::pair<const char*, const char*> cases[] = {
        {"10 20", "blue"}, {"red 1 2", "red"}, {"10,20,30", "green"}, {"99999999999 0 0", "red"}};
    PartJournal journal;
    for (const auto& [value, channel] : cases) {
        SCOPED_TRACE(value);
        const auto captured = Capture([&] {
            RecordingPart part(journal, 0, 1, 0, "p", {{"clearColor", "1 2 3"}, {"clearColor", value}});
        });
        ASSERT_TRUE(captured.Threw());
        const Lines lines = captured.ErrLines();
        ASSERT_EQ(lines.size(), 4u) << captured.err;
        EXPECT_EQ(lines[0], std::string("FATAL ERROR: Assertion (0 != 0 && \"=> clearColor-attribute has unknown ") +
                                channel + " value!\") failed!");
        EXPECT_EQ(lines[2], "  in \"lib/Vexel/src/Halvorn/DemoPart.cpp\"");
    }
    // The part was never made, so nothing was deleted either.
    EXPECT_EQ(journal.Take(), Lines{});
}

TEST(DemoPartTest, TimingWrapper)
{
    // 'u' calls Update (delta, time); 'r' calls Render, whose arguments do not matter.
    const struct
    {
        double pendingStep, fixedStepLength;  // 0: none
        std::vector<std::tuple<char, double, double>> calls;
        Lines expected;
        double accumulator;
    } cases[] = {
        {0, 0, {{'u', 0.1, 1.1}, {'u', 0.2, 1.3}, {'u', 0.3, 1.6}},
         {"update p 0.1 0.1 1.1", "update p 0.2 0.3 1.3", "update p 0.3 0.6 1.6"}, 0},
        // A pending step replaces one delta, and drawing replays it.
        {0.25, 0, {{'u', 0.5, 5.25}, {'r', 123, 456}, {'u', 0.5, 5.75}, {'r', 0, 0}},
         {"update p 0.25 0.25 5", "render p 0.25 0.25 5", "update p 0.5 0.75 5.75", "render p 0.5 0.75 5.75"}, 0},
        // Drawing before any update, and twice without one, repeats the latest values.
        {0, 0, {{'r', 1, 1}, {'u', 0.02, 3}, {'r', 0.5, 9}, {'r', 0.7, 10}},
         {"render p 0 0 0", "update p 0.02 0.02 3", "render p 0.02 0.02 3", "render p 0.02 0.02 3"}, 0},
        // Fixed steps take whole steps out of the delta and keep the rest; step
        // times count on from the start of the frame that completes the step.
        {0, 0.1, {{'u', 0.25, 10.25}, {'r', 0, 0}},
         {"update p 0.1 0.1 10.1", "update p 0.1 0.2 10.2", "render p 0.25 0.2 10.25"}, 0.05},
        {0, 0.1, {{'u', 0.05, 10.05}, {'u', 0.07, 10.12}, {'r', 0, 0}},
         {"update p 0.1 0.1 10.15", "render p 0.07 0.1 10.12"}, 0.02},
    };
    for (const auto& c : cases) {
        PartJournal journal;
        RecordingPart part(journal, 0, 100, 0, "p");
        part.mPendingStep = c.pendingStep;
        part.mFixedStep = c.fixedStepLength > 0;
        part.mFixedStepLength = c.fixedStepLength;
        for (const auto& [call, delta, time] : c.calls) {
            if (call == 'u') {
                part.Update(delta, time);
            } else {
                part.Render(delta, time);
            }
        }
        EXPECT_EQ(journal.Take(), c.expected);
        EXPECT_NEAR(part.mFixedStepAccumulator, c.accumulator, 1e-9);
    }
}

TEST(DemoPartTest, FixedStepOfZeroOrLessIsRefusedInsteadOfLoopingForever)
{
    PartJournal journal;
    for (const double length : {0.0, -0.1, std::nan("")}) {
        RecordingPart part(journal, 0, 100, 0, "p");
        part.mFixedStep = true;
        part.mFixedStepLength = length;
        const auto captured = Capture([&] { part.Update(0.25, 0.25); });
        EXPECT_TRUE(captured.Threw());
        EXPECT_EQ(captured.ErrLines().at(0),
                  "FATAL ERROR: Assertion (mFixedStepLength > 0.0 && \"=> fixed step length must be greater than "
                  "zero!\") failed!");
    }
    EXPECT_EQ(journal.Take(), Lines(3, "delete p"));  // and never updated
}

TEST(DemoPartTest, DescriptionLine)
{
    PartJournal journal;
    RecordingPart intro(journal, 0, 12.5, 1, "intro");
    intro.mClassName = "ClearScreen";
    intro.mMusicTrack = "main";
    EXPECT_EQ(Capture([&] { intro.PrintDescription(); }).out,
              "DemoPart [0 - 12.5 intro, class=ClearScreen, priority=1, music=main]\n");
}

TEST(DemoPartTest, CloneIsBuiltFromThePartsOwnCopiesOfItsLists)
{
    PartJournal journal;
    std::unique_ptr<RecordingPart> original;
    {
        // The loader's lists die right after construction.
        Params attributes{{"clearColor", "1 2 3"}, {"clearBackground", "false"}};
        Params params{{"color", "10 20 30"}};
        original = std::make_unique<RecordingPart>(journal, 1.23456789, 1e6, 4294967295u, "Ääni ♪", attributes,
                                                   params);
        attributes.assign(50, DemoPartParam("overwritten", "x"));
        params.clear();
    }
    std::unique_ptr<DemoPart> copy(original->Clone());
    original.reset();

    // Six significant digits, the whole unsigned range and UTF-8 names.
    EXPECT_EQ(Capture([&] { copy->PrintDescription(); }).out,
              "DemoPart [1.23457 - 1e+06 Ääni ♪, class=RecordingPart, priority=4294967295, music=]\n");
    EXPECT_EQ(copy->mClearColor, glm::vec4(1, 2, 3, 255));
    ASSERT_EQ(copy->mAttributeParams.size(), 2u);
    EXPECT_EQ(copy->mAttributeParams[1].mValue, "false");
    ASSERT_EQ(copy->mParams.size(), 1u);
    EXPECT_EQ(copy->mParams[0].mValue, "10 20 30");
}
