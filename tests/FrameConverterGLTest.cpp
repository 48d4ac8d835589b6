#include "FrameConverter.h"
#include "RenderTarget.h"

#include "GlTestFixture.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int PictureWidth = 96;
constexpr int PictureHeight = 48;

void Fill(int x, int yFromTop, int width, int height, int r, int g, int b)
{
    glScissor(x, PictureHeight - yFromTop - height, width, height);
    glClearColor(r / 255.0f, g / 255.0f, b / 255.0f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Colour bars at 100 % over bars at 75 % in the reverse order, 12 pixels
// wide, above a ramp that changes every column, so the order of the rows,
// the chroma blocks and the arithmetic all show.
void DrawTestPicture(RenderTarget& target)
{
    static const int Bars[8][3] = {{1, 1, 1}, {1, 1, 0}, {0, 1, 1}, {0, 1, 0},
                                   {1, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0}};
    target.Bind();
    glEnable(GL_SCISSOR_TEST);
    for (int i = 0; i < 8; ++i) {
        Fill(i * 12, 0, 12, 16, Bars[i][0] * 255, Bars[i][1] * 255, Bars[i][2] * 255);
        Fill(i * 12, 16, 12, 16, Bars[7 - i][0] * 191, Bars[7 - i][1] * 191, Bars[7 - i][2] * 191);
    }
    for (int x = 0; x < PictureWidth; ++x) {
        Fill(x, 32, 1, 16, x * 255 / (PictureWidth - 1), 255 - x * 2, (x * 37) % 256);
    }
    glDisable(GL_SCISSOR_TEST);
    target.Unbind();
}

// The picture as swscale converts it: BT.709, full-range RGB to limited-range YUV.
std::vector<std::uint8_t> SwscaleFrame(const std::vector<std::uint8_t>& rgbTopFirst, const FrameLayout& layout,
                                       AVPixelFormat format)
{
    SwsContext* scaler =
        sws_getContext(PictureWidth, PictureHeight, AV_PIX_FMT_RGB24, PictureWidth, PictureHeight, format,
                       SWS_AREA | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr);
    sws_setColorspaceDetails(scaler, sws_getCoefficients(SWS_CS_ITU709), 1, sws_getCoefficients(SWS_CS_ITU709), 0, 0,
                             1 << 16, 1 << 16);
    std::vector<std::uint8_t> frame(layout.FrameBytes());
    std::uint8_t* planes[3] = {frame.data(), frame.data() + layout.LumaBytes(),
                               frame.data() + layout.LumaBytes() + layout.ChromaRowBytes() / 2};
    const int strides[3] = {layout.LumaRowBytes(), layout.ChromaRowBytes(), layout.ChromaRowBytes()};
    const std::uint8_t* source[1] = {rgbTopFirst.data()};
    const int sourceStride[1] = {PictureWidth * 3};
    sws_scale(scaler, source, sourceStride, 0, PictureHeight, planes, strides);
    sws_freeContext(scaler);
    return frame;
}

int Sample(const std::vector<std::uint8_t>& frame, const FrameLayout& layout, std::size_t i)
{
    if (layout.SampleBytes() == 2 && layout.IsYuv()) {
        return frame[i * 2] | (frame[i * 2 + 1] << 8);
    }
    return frame[i];
}

} // namespace

class FrameConverterGLTest : public VexelTest::GlTestFixture
{
};

TEST_F(FrameConverterGLTest, FramesMatchSwscaleWithinOneAndPackedPicturesExactly)
{
    RenderTarget target(PictureWidth, PictureHeight);
    DrawTestPicture(target);
    std::vector<std::uint8_t> bottomFirst;
    target.ReadRgb(bottomFirst);
    std::vector<std::uint8_t> rgb(bottomFirst.size());
    for (int y = 0; y < PictureHeight; ++y) {
        std::memcpy(&rgb[static_cast<size_t>(y) * PictureWidth * 3],
                    &bottomFirst[static_cast<size_t>(PictureHeight - 1 - y) * PictureWidth * 3], PictureWidth * 3);
    }
    std::vector<std::uint8_t> bgra(static_cast<size_t>(PictureWidth) * PictureHeight * 4);
    for (size_t p = 0; p < static_cast<size_t>(PictureWidth) * PictureHeight; ++p) {
        bgra[p * 4] = rgb[p * 3 + 2];
        bgra[p * 4 + 1] = rgb[p * 3 + 1];
        bgra[p * 4 + 2] = rgb[p * 3];
        bgra[p * 4 + 3] = 255;
    }

    struct Case
    {
        FrameLayout::Pixels pixels;
        AVPixelFormat format;
        int tolerance;
    };
    for (const Case& c :
         {Case{FrameLayout::Yuv420, AV_PIX_FMT_YUV420P, 1}, Case{FrameLayout::Yuv422Ten, AV_PIX_FMT_YUV422P10LE, 1},
          Case{FrameLayout::Rgb, AV_PIX_FMT_NONE, 0}, Case{FrameLayout::Bgra, AV_PIX_FMT_NONE, 0}}) {
        SCOPED_TRACE(c.pixels);
        const FrameLayout layout(c.pixels, PictureWidth, PictureHeight);
        const std::vector<std::uint8_t> expected = c.pixels == FrameLayout::Rgb ? rgb
                                                   : c.pixels == FrameLayout::Bgra
                                                       ? bgra
                                                       : SwscaleFrame(rgb, layout, c.format);
        FrameConverter converter(layout, 2);
        // Three frames through two buffers: each comes back whole and in turn.
        std::vector<std::uint8_t> frame(layout.FrameBytes());
        for (int n = 0; n < 3; ++n) {
            if (converter.Pending() == converter.Capacity()) {
                converter.Collect(frame.data());
            }
            converter.Convert(target.GetColourTexture());
        }
        while (converter.Pending() > 0) {
            std::fill(frame.begin(), frame.end(), 0);
            converter.Collect(frame.data());
        }
        ASSERT_EQ(frame.size(), expected.size());
        const std::size_t samples = frame.size() / (layout.IsYuv() ? layout.SampleBytes() : 1);
        int worst = 0;
        std::size_t worstAt = 0;
        for (std::size_t i = 0; i < samples; ++i) {
            const int difference = std::abs(Sample(frame, layout, i) - Sample(expected, layout, i));
            if (difference > worst) {
                worst = difference;
                worstAt = i;
            }
        }
        EXPECT_LE(worst, c.tolerance) << "at sample " << worstAt << " of " << samples;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
