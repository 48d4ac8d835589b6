#include "FrameTiming.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(FrameTimingTest, FpsIsTheTruncatedReciprocalOfASinglePrecisionFrame)
{
    struct Case { std::uint32_t milliseconds; float fps; };
    // Single-precision frame times make 16 ms a hair longer than 1/62.5 s.
    const Case cases[] = {{10, 100.0f}, {16, 62.4f}, {20, 50.0f}, {25, 39.9f}, {50, 19.9f}, {333, 3.0f}, {1, 999.9f}};
    for (const Case& c : cases) {
        EXPECT_EQ(Vexel::FramesPerSecond(Vexel::FrameSeconds(1000, 1000 + c.milliseconds)), c.fps) << c.milliseconds;
    }
    // A frame of no length gives zero instead of infinity.
    EXPECT_EQ(Vexel::FramesPerSecond(0.0), 0.0f);
    EXPECT_EQ(Vexel::FramesPerSecond(-0.5), 0.0f);
}

TEST(FrameTimingTest, FrameSecondsIsFormedInSinglePrecisionAcrossTheWrap)
{
    EXPECT_EQ(Vexel::FrameSeconds(0, 16), static_cast<double>(0.016f));
    EXPECT_NE(Vexel::FrameSeconds(0, 16), 0.016);
    EXPECT_EQ(Vexel::FrameSeconds(0xFFFFFFF0u, 6u), static_cast<double>(0.022f));
    EXPECT_EQ(Vexel::FrameSeconds(500, 500), 0.0);
}
