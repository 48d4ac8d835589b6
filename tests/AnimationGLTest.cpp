#include "Halvorn/DemoParts/Image.h"

#include "AnimationKeys.h"
#include "PartGLFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;
using namespace VexelTest::Colours;
using VexelTest::ParseKeys;
using VexelTest::PixelNear;
using VexelTest::Rgba;
using Params = std::vector<DemoPartParam>;

namespace {

struct Key
{
    const char* key;
    const char* times;
    const char* values;
};

} // namespace

// An animated clear colour is checked on screen end to end (AnimationE2ETest).
class AnimationGLTest : public VexelTest::PartGLFixture
{
};

TEST_F(AnimationGLTest, AnimatedSizeAndPositionPlaceThePictureWithItsDerivedSide)
{
    SavePicture("red.png", 256, 128, [](int, int) { return Red; });
    const struct
    {
        Params params;
        Key key;
        double runningTime;
        // The rectangle expected on screen, in window pixels.
        float x, y, w, h;
    } cases[] = {
        // Width from 0.25 to 0.5: at 1 s 0.375 of 1280 = 480 wide, the height
        // following the picture's 2:1 shape; and the other way round.
        {{}, {"relativeWidth", "0 2", "0.25 0.5"}, 1.0, 400, 240, 480, 240},
        {{}, {"relativeHeight", "0 2", "0.5 1"}, 2.0, -80, 0, 1440, 720},
        // A size given as a parameter stays: the picture stretches.
        {{{"relativeHeight", "0.5"}}, {"relativeWidth", "0 2", "0.25 0.5"}, 2.0, 320, 180, 640, 360},
        {{{"relativeWidth", "0.5"}}, {"relativeHeight", "0 1", "0.25 0.25"}, 0.0, 320, 270, 640, 180},
        // A position places the centre freely on its side only, also before its first key.
        {{{"relativeWidth", "0.25"}}, {"relativeX", "0 4", "0 1"}, 1.0, 160, 280, 320, 160},
        {{{"relativeWidth", "0.25"}}, {"relativeY", "1 2", "0.25 1"}, 0.0, 480, 100, 320, 160},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key.key) + " at " + std::to_string(c.runningTime));
        Params params = c.params;
        params.emplace_back("image", "red.png");
        params.emplace_back("blending", "opaque");
        // Starting at 5 s, so keys that went by the demo's time would show.
        std::unique_ptr<Image> part;
        const auto captured = Capture([&] { part.reset(new Image(mApp.get(), 5.0, 14.0, 0, "i", {}, params)); });
        ASSERT_FALSE(captured.Threw()) << captured.err;
        part->mAnimations.resize(1);
        ASSERT_EQ(ParseKeys(part->mAnimations[0], "lib.Image", c.key.key, c.key.times, c.key.values), "");
        ClearTo(Black);
        part->UpdateDemoPart(0.02, c.runningTime, 5.0 + c.runningTime);
        part->RenderDemoPart(0.02, c.runningTime, 5.0 + c.runningTime);
        EXPECT_NEAR(part->mRelativeWidth * Width, c.w, 0.01f);
        EXPECT_NEAR(part->mRelativeHeight * Height, c.h, 0.01f);
        // Just inside and just outside each edge.
        const int left = static_cast<int>(std::lround(c.x)), top = static_cast<int>(std::lround(c.y));
        const int right = static_cast<int>(std::lround(c.x + c.w)), bottom = static_cast<int>(std::lround(c.y + c.h));
        const int midX = (left + right) / 2, midY = (top + bottom) / 2;
        const struct
        {
            int x, y;
            bool inside;
        } probes[] = {{left + 2, midY, true},  {right - 3, midY, true},  {midX, top + 2, true},
                      {midX, bottom - 3, true}, {left - 3, midY, false}, {right + 2, midY, false},
                      {midX, top - 3, false},   {midX, bottom + 2, false}};
        for (const auto& probe : probes) {
            if (probe.x >= 0 && probe.x < Width && probe.y >= 0 && probe.y < Height) {
                EXPECT_TRUE(PixelNear(ReadPixel(probe.x, probe.y), probe.inside ? Red : Black))
                    << probe.x << ", " << probe.y;
            }
        }
    }
}
