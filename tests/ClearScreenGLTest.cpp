#include "Halvorn/DemoParts/ClearScreen.h"

#include "GlTestFixture.h"
#include "OutputCapture.h"

#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include <vector>

class ClearScreenGLTest : public VexelTest::GlTestFixture
{
};

TEST_F(ClearScreenGLTest, RenderClearsColourAndDepthToTheGivenColourWithAlphaZero)
{
    const struct
    {
        std::vector<DemoPartParam> params;
        VexelTest::Rgba pixel;
    } cases[] = {
        {{}, {0, 0, 0}}, {{{"color", "128 128 128"}}, {128, 128, 128}}, {{{"color", "-1 0 255"}}, {255, 0, 255}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pixel.r);
        ClearScreen part(nullptr, 0.0, 1.0, 0, "c", {}, c.params);
        // Something else in both buffers first, so a missing clear shows.
        glClearColor(0.2f, 0.9f, 0.4f, 1.0f);
        glClearDepth(0.25);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearDepth(1.0);
        VexelTest::Capture([&] {
            part.Update(0.1, 0.1);
            part.Render(0.1, 0.1);
        });
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(0, 0), c.pixel, 1));
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(Width - 1, Height - 1), c.pixel, 1));
        float depth = 0.0f;
        glReadPixels(Width / 2, Height / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        EXPECT_FLOAT_EQ(depth, 1.0f);
        // Cleared with alpha 0.
        glm::vec4 clear(-1.0f);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, &clear[0]);
        EXPECT_LT(glm::distance(clear, glm::vec4(c.pixel.r, c.pixel.g, c.pixel.b, 0) / 255.0f), 1e-6f);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}
