#include "Halvorn/DemoParts/ClearScreen.h"

#include "GlTestFixture.h"
#include "OutputCapture.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using VexelTest::Capture;
using VexelTest::Rgba;

class ClearScreenGLTest : public VexelTest::GlTestFixture
{
};

TEST_F(ClearScreenGLTest, RenderClearsColourAndDepthToTheGivenColourWithAlphaZero)
{
    struct Case
    {
        const char* value;  // nullptr: no "color" parameter
        Rgba pixel;
        float clear[3];
    };
    const Case cases[] = {
        {nullptr, {0, 0, 0}, {0.0f, 0.0f, 0.0f}},
        {"255 0 0", {255, 0, 0}, {1.0f, 0.0f, 0.0f}},
        {"128 128 128", {128, 128, 128}, {128 / 255.0f, 128 / 255.0f, 128 / 255.0f}},
        {"256 0 0", {0, 0, 0}, {0.0f, 0.0f, 0.0f}},
        {"-1 0 0", {255, 0, 0}, {1.0f, 0.0f, 0.0f}},
        {"0 0 255 17", {0, 0, 255}, {0.0f, 0.0f, 1.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value != nullptr ? c.value : "no color");
        std::vector<DemoPartParam> params;
        if (c.value != nullptr) {
            params.emplace_back("color", c.value);
        }
        std::unique_ptr<ClearScreen> part;
        const auto built = Capture([&] { part.reset(new ClearScreen(nullptr, 0.0, 1.0, 0, "c", {}, params)); });
        ASSERT_FALSE(built.Threw()) << built.err;

        // Something else in both buffers first, so a missing clear shows.
        glClearColor(0.2f, 0.9f, 0.4f, 1.0f);
        glClearDepth(0.25);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearDepth(1.0);

        part->Update(0.1, 0.1);
        part->Render(0.1, 0.1);

        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(0, 0), c.pixel, 1));
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(Width / 2, Height / 2), c.pixel, 1));
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(Width - 1, Height - 1), c.pixel, 1));
        float depth = 0.0f;
        glReadPixels(Width / 2, Height / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        EXPECT_FLOAT_EQ(depth, 1.0f);

        GLfloat clear[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        EXPECT_FLOAT_EQ(clear[0], c.clear[0]);
        EXPECT_FLOAT_EQ(clear[1], c.clear[1]);
        EXPECT_FLOAT_EQ(clear[2], c.clear[2]);
        EXPECT_FLOAT_EQ(clear[3], 0.0f);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}
