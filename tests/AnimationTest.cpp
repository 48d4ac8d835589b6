#include "AnimationKeys.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using VexelTest::ParseKeys;

TEST(AnimationTest, EachEaseAtKnownPointsOfASpan)
{
    struct Case
    {
        const char* ease;
        float quarter, half, threeQuarters;
    };
    // From 10 to 20 between 2 s and 6 s: a quarter of the span is at 3 s.
    const std::vector<Case> cases = {
        {"step", 10.0f, 10.0f, 10.0f},         {"linear", 12.5f, 15.0f, 17.5f},
        {"smooth", 11.5625f, 15.0f, 18.4375f}, {"in", 10.625f, 12.5f, 15.625f},
        {"out", 14.375f, 17.5f, 19.375f},      {nullptr, 12.5f, 15.0f, 17.5f}, // linear by default
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ease != nullptr ? c.ease : "(default)");
        Animation animation;
        ASSERT_EQ(ParseKeys(animation, "lib.Image", "alpha", "2 6", "10 20", c.ease), "");
        // The keys themselves, and holding before the first and after the last.
        const std::vector<std::pair<double, float>> points = {{3.0, c.quarter}, {4.0, c.half}, {5.0, c.threeQuarters},
                                                              {2.0, 10.0f},     {6.0, 20.0f},  {0.0, 10.0f},
                                                              {1000.0, 20.0f}};
        for (const auto& point : points) {
            EXPECT_FLOAT_EQ(animation.Evaluate(point.first).x, point.second) << point.first;
        }
    }
}

TEST(AnimationTest, SeveralSpansColoursAndBeats)
{
    // A fade in, hold and fade out: each time falls in its own span.
    Animation fade;
    ASSERT_EQ(ParseKeys(fade, "lib.Image", "alpha", " 0  1 7 8 ", "0 1 1 0"), "");
    const std::vector<std::pair<double, float>> points = {{0.5, 0.5f},   {1.0, 1.0f},     {4.0, 1.0f},
                                                          {7.25, 0.75f}, {7.999, 0.001f}, {8.0, 0.0f}};
    for (const auto& point : points) {
        EXPECT_NEAR(fade.Evaluate(point.first).x, point.second, 1e-4) << point.first;
    }
    // A stepped value holds each key until the next one.
    Animation steps;
    ASSERT_EQ(ParseKeys(steps, "lib.Image", "rotate", "0 1 2", "0 90 180", "step"), "");
    EXPECT_FLOAT_EQ(steps.Evaluate(1.999).x, 90.0f);
    EXPECT_FLOAT_EQ(steps.Evaluate(2.0).x, 180.0f);

    Animation colour;
    ASSERT_EQ(ParseKeys(colour, "lib.ClearScreen", "color", "0 2", "0 0 0; 255 128 64"), "");
    EXPECT_EQ(colour.mTarget, Animation::Target::Color);
    EXPECT_EQ(colour.Evaluate(1.0), glm::vec3(127.5f, 64.0f, 32.0f));

    // At 120 bpm a beat is half a second, wherever the tempo's offset is.
    const Tempo tempo(120.0, 4, 3.0);
    Animation::Source source;
    source.key = "relativeX";
    source.beats = "0 4";
    source.values = "0 1";
    Animation beats;
    std::string problem;
    ASSERT_TRUE(Animation::Parse(source, "lib.Image", "p", &tempo, beats, problem)) << problem;
    EXPECT_EQ(beats.mTimes, (std::vector<double>{0.0, 2.0}));
    EXPECT_FLOAT_EQ(beats.Evaluate(1.0).x, 0.5f);
}

// How morvelin reports them is checked end to end (AnimationE2ETest).
TEST(AnimationTest, BadElementsAreRefusedWithAMessageNamingThePart)
{
    struct Case
    {
        const char* className;
        const char* key;
        const char* times;
        const char* beats;
        const char* values;
        const char* ease;
        std::string problem;
    };
    const std::string logo = "part \"logo\": ";
    const std::vector<Case> cases = {
        {"lib.TestPartVao", "alpha", "0", nullptr, "1", nullptr,
         logo + "lib.TestPartVao cannot animate \"alpha\" (it animates nothing)"},
        {"lib.Image", nullptr, "0", nullptr, "1", nullptr, logo + "an animate element has no key"},
        {"lib.Image", "alpha", "0 1 2", nullptr, "0 1", nullptr, logo + "animate \"alpha\" has 3 times but 2 values"},
        {"lib.Image", "alpha", "0 0", nullptr, "0 1", nullptr,
         logo + "animate \"alpha\" times do not increase (0 after 0)"},
        {"lib.Image", "rotate", "0 2 1", nullptr, "0 1 2", nullptr,
         logo + "animate \"rotate\" times do not increase (1 after 2)"},
        {"lib.Image", "alpha", "0 1", nullptr, "0 inf", nullptr,
         logo + "animate \"alpha\" value \"inf\" is not a number"},
        {"lib.Image", "alpha", "0 x", nullptr, "0 1", nullptr, logo + "animate \"alpha\" time \"x\" is not a number"},
        {"lib.ClearScreen", "color", "0 1", nullptr, "0 0 0; 1 2", nullptr,
         logo + "animate \"color\" value \"1 2\" is not a colour \"r g b\""},
        {"lib.Image", "alpha", "0 1", nullptr, "0 1", "bounce",
         logo + "animate \"alpha\" has unknown ease \"bounce\" (step, linear, smooth, in or out)"},
        {"lib.Image", "alpha", "0 1", "0 4", "0 1", nullptr, logo + "animate \"alpha\" gives both times and beats"},
        {"lib.Image", "alpha", nullptr, nullptr, "0 1", nullptr, logo + "animate \"alpha\" needs times or beats"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.problem);
        Animation::Source source;
        source.key = c.key;
        source.times = c.times;
        source.beats = c.beats;
        source.values = c.values;
        source.ease = c.ease;
        Animation untouched;
        std::string problem;
        EXPECT_FALSE(Animation::Parse(source, c.className, "logo", nullptr, untouched, problem));
        EXPECT_EQ(problem, c.problem);
        EXPECT_TRUE(untouched.mTimes.empty());
    }
}
