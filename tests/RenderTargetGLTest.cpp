#include "RenderTarget.h"

#include "GlTestFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

class RenderTargetGLTest : public VexelTest::GlTestFixture
{
};

TEST_F(RenderTargetGLTest, DrawsGoOffscreenAtItsSizeAndReadBackBottomRowFirst)
{
    // Odd widths catch rows read with the default four-byte padding.
    const std::pair<int, int> sizes[] = {{33, 17}, {1920, 1080}, {4, 4}};
    for (const auto& [width, height] : sizes) {
        SCOPED_TRACE(width);
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        GLint windowViewport[4];
        glGetIntegerv(GL_VIEWPORT, windowViewport);

        RenderTarget target(width, height);
        target.Bind();
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], width);
        EXPECT_EQ(viewport[3], height);
        GLint depthBits = 0;
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT,
                                              GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depthBits);
        EXPECT_GE(depthBits, 24);

        // Red everywhere, green in the bottom-left quarter.
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, width / 2, height / 2);
        glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        target.Unbind();

        std::vector<std::uint8_t> rgb;
        target.ReadRgb(rgb);
        ASSERT_EQ(rgb.size(), static_cast<size_t>(width * height * 3));
        const auto at = [&](int x, int yFromBottom) {
            const size_t i = (static_cast<size_t>(yFromBottom) * width + x) * 3;
            return VexelTest::Rgba{rgb[i], rgb[i + 1], rgb[i + 2], 255};
        };
        EXPECT_TRUE(VexelTest::PixelNear(at(0, 0), {0, 255, 0, 255}));
        EXPECT_TRUE(VexelTest::PixelNear(at(width / 2 - 1, height / 2 - 1), {0, 255, 0, 255}));
        EXPECT_TRUE(VexelTest::PixelNear(at(width / 2, 0), {255, 0, 0, 255}));
        EXPECT_TRUE(VexelTest::PixelNear(at(width - 1, height - 1), {255, 0, 0, 255}));

        // The window kept its picture and gets its viewport back.
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(0, Height - 1), {0, 0, 255, 255}));
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], windowViewport[2]);
        EXPECT_EQ(viewport[3], windowViewport[3]);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderTargetGLTest, GivesItsNamesBackAndRefusesSizesTheDriverCannotMake)
{
    GLint framebuffer = 0;
    {
        RenderTarget target(8, 8);
        target.Bind();
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
        ASSERT_NE(framebuffer, 0);
        // Destroyed while bound: drawing goes back to the window.
    }
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_FALSE(glIsFramebuffer(static_cast<GLuint>(framebuffer)));

    GLint maxSize = 0;
    GLint maxTexture = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    maxSize = std::min(maxSize, maxTexture);
    for (const std::pair<int, int>& size : {std::make_pair(0, 720), std::make_pair(maxSize + 1, 4)}) {
        try {
            RenderTarget target(size.first, size.second);
            ADD_FAILURE() << size.first << "x" << size.second << " was made";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "RenderTarget: cannot render at " + std::to_string(size.first) + "x" +
                                                 std::to_string(size.second) + " (the driver allows up to " +
                                                 std::to_string(maxSize) + ")");
        }
    }
}
