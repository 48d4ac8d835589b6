#include "Halvorn/Tempo.h"

#include <gtest/gtest.h>

TEST(TempoTest, BarsAndBeatsConvertBothWaysAroundTheOffset)
{
    // 120 bpm in 4/4 from 2 s: a beat is 0.5 s, a bar 2 s.
    const Tempo tempo(120.0, 4, 2.0);
    struct Case
    {
        int bar;
        double beat;
        double seconds;
    };
    // Before the offset the count goes below bar 1 instead of folding back onto it.
    const Case cases[] = {{1, 1.0, 2.0}, {1, 2.0, 2.5}, {2, 1.0, 4.0}, {9, 1.0, 18.0}, {3, 4.5, 7.75}, {0, 4.0, 1.5}};
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(tempo.SecondsAt(c.bar, c.beat), c.seconds) << c.bar << ":" << c.beat;
        int bar = 0;
        double beat = 0.0;
        tempo.BarBeatAt(c.seconds, bar, beat);
        EXPECT_EQ(bar, c.bar);
        EXPECT_DOUBLE_EQ(beat, c.beat);
    }
    EXPECT_DOUBLE_EQ(tempo.BarStartAt(5.9), 4.0);
    EXPECT_DOUBLE_EQ(tempo.BarStartAt(1.0), 0.0);

    EXPECT_FALSE(Tempo(0.0, 4, 0.0).IsValid());
    EXPECT_FALSE(Tempo(120.0, 0, 0.0).IsValid());
    EXPECT_FALSE(Tempo(120.0, 4, 1.0 / 0.0).IsValid());
}

TEST(TempoTest, TimesAreSecondsOrBarBeatWithATempo)
{
    const Tempo tempo(128.0, 4, 0.0);
    struct Case
    {
        const char* text;
        bool withTempo;
        bool ok;
        double seconds;
    };
    // Plain seconds, a bar and beat, a beat out of range, a negative time and
    // no tempo are in PlayerOptionsTest with their messages.
    const Case cases[] = {
        {" 30 ", true, true, 30.0},  {"1:2.5", true, true, 1.5 * 60.0 / 128.0},
        {"0:1", true, false, 0.0},   {"1:0", true, false, 0.0},
        {"1:2:3", true, false, 0.0}, {"abc", true, false, 0.0},
        {"", false, false, 0.0},     {"nan", false, false, 0.0},
        {"inf", false, false, 0.0},
    };
    for (const Case& c : cases) {
        double seconds = -7.0;
        QString error;
        EXPECT_EQ(ParseTime(QString::fromLatin1(c.text), c.withTempo ? &tempo : nullptr, seconds, error), c.ok)
            << c.text;
        if (c.ok) {
            EXPECT_NEAR(seconds, c.seconds, 1e-12) << c.text;
            EXPECT_TRUE(error.isEmpty());
        } else {
            EXPECT_EQ(seconds, -7.0) << c.text;
            EXPECT_FALSE(error.isEmpty()) << c.text;
        }
    }
}
