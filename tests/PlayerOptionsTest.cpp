#include "Halvorn/Tempo.h"
#include "Letterbox.h"
#include "PlayTimeText.h"
#include "PlayerOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The error texts are checked end to end, with their exit status.
TEST(PlayerOptionsTest, ValuesLandInTheirOptions)
{
    PlayerOptions options;
    QString error;
    ASSERT_EQ(options.Parse({"--window", "960x540", "--paused", "demo/x.xml", "--start", "9:1"}, error),
              PlayerOptions::Play);
    EXPECT_EQ(options.mWindowWidth, 960);
    EXPECT_EQ(options.mWindowHeight, 540);
    EXPECT_TRUE(options.mPaused);
    EXPECT_FALSE(options.mMute);
    EXPECT_EQ(options.mSettingsFile, "demo/x.xml");
    EXPECT_EQ(options.mStartText, "9:1");
    EXPECT_EQ(PlayerOptions().Parse({"--help", "--bogus"}, error), PlayerOptions::ShowHelp);
    EXPECT_EQ(PlayerOptions().Parse({"a.xml", "b.xml"}, error), PlayerOptions::UsageError);
    EXPECT_EQ(error, "one SETTINGS file only, not also \"b.xml\"");
}

TEST(PlayerOptionsTest, TimesAsSecondsOrBarsAndBeats)
{
    const Tempo tempo(120.0, 4, 0.5); // two-second bars from 0.5 s
    struct Case
    {
        QString start;
        QString loop;
        bool withTempo;
        std::string error;
        double expectedStart = 0.0;
        double loopFrom = 0.0;
        double loopTo = 0.0;
    };
    const std::vector<Case> cases = {
        {"12.5", QString(), false, "", 12.5, 0, 0},
        {"9:1", QString(), true, "", 16.5, 0, 0},
        {"9:2.5", "1:1-3:1", true, "", 17.25, 0.5, 4.5},
        {"0", "10-12.5", false, "", 0.0, 10.0, 12.5},
        {QString(), "5:1-7:1", true, "", 8.5, 8.5, 12.5},
        {"-3", QString(), false, "--start: expected seconds (12.5), not \"-3\""},
        {"1:5", QString(), true, "--start: expected BAR:BEAT with bar from 1 and beat from 1 to 4, not \"1:5\""},
        {QString(), "12", false, "--loop: expected FROM-TO with FROM before TO, not \"12\""},
        {QString(), "5-5", false, "--loop: expected FROM-TO with FROM before TO, not \"5-5\""},
        {QString(), "a-5", true, "--loop: expected seconds (12.5) or BAR:BEAT (9:1), not \"a-5\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start.toStdString() + " " + c.loop.toStdString());
        PlayerOptions options;
        options.mStartText = c.start;
        options.mLoopText = c.loop;
        QString error;
        const bool resolved = options.ResolveTimes(c.withTempo ? &tempo : nullptr, error);
        EXPECT_EQ(error.toStdString(), c.error);
        if (c.error.empty()) {
            ASSERT_TRUE(resolved);
            EXPECT_DOUBLE_EQ(options.mStart, c.expectedStart);
            EXPECT_EQ(options.mHasLoop, !c.loop.isNull());
            if (options.mHasLoop) {
                EXPECT_DOUBLE_EQ(options.mLoopFrom, c.loopFrom);
                EXPECT_DOUBLE_EQ(options.mLoopTo, c.loopTo);
            }
        } else {
            EXPECT_FALSE(resolved);
        }
    }
}

TEST(PlayerOptionsTest, ClockBarAndTitleTexts)
{
    const Tempo tempo(120.0, 4, 0.0);
    EXPECT_EQ(PlayTimeText::Clock(0.0), "0:00.000");
    EXPECT_EQ(PlayTimeText::Clock(12.345), "0:12.345");
    EXPECT_EQ(PlayTimeText::Clock(72.5), "1:12.500");
    EXPECT_EQ(PlayTimeText::Clock(59.9996), "1:00.000");
    EXPECT_EQ(PlayTimeText::Bar(tempo, 16.0), "9:1");
    EXPECT_EQ(PlayTimeText::Bar(tempo, 17.99), "9:4");
    EXPECT_EQ(PlayTimeText::Title("MORVELIN", ".666", 16.0, &tempo, 60, false),
              "MORVELIN v..666 - 0:16.000 | bar 9:1 | 60 fps");
    EXPECT_EQ(PlayTimeText::Title("Demo", "2", 12.345, nullptr, 59, true), "Demo v.2 - 0:12.345 | 59 fps | paused");
}

TEST(PlayerOptionsTest, LetterboxKeepsTheShapeAndCentres)
{
    struct Case
    {
        int width;
        int height;
        int x, y, w, h;
    };
    const std::vector<Case> cases = {
        {960, 540, 0, 0, 960, 540}, {2000, 720, 360, 0, 1280, 720}, {1921, 1080, 0, 0, 1920, 1080}, {0, 100, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const Rect<int> fit = Letterbox::Fit(c.width, c.height, 1280, 720);
        EXPECT_EQ(fit.mX, c.x);
        EXPECT_EQ(fit.mY, c.y);
        EXPECT_EQ(fit.mWidth, c.w);
        EXPECT_EQ(fit.mHeight, c.h);
    }
}
