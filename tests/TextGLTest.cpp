#include "Halvorn/DemoParts/TextPart.h"
#include "Text/GlyphAtlasTexture.h"

#include "PartGLFixture.h"

#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

using VexelTest::Capture;
using namespace VexelTest::Colours;
using VexelTest::PixelNear;
using VexelTest::Rgba;
using Params = std::vector<DemoPartParam>;

namespace {

const char* const FontFile = VEXEL_SOURCE_DIR "/lib/Vexel/fonts/DejaVuSans.ttf";
const Rgba Grey{100, 100, 100};

// Where ink lies in a picture: columns and rows, inclusive; empty when none.
struct Box
{
    int left = 1 << 30;
    int top = 1 << 30;
    int right = -1;
    int bottom = -1;
    bool Empty() const { return right < left; }
    int Width() const { return right - left + 1; }
};

// A picture as coverage: 0 to 255 per pixel, top row first.
struct Coverage
{
    int width = 0;
    int height = 0;
    std::vector<int> values;
    int At(int x, int y) const { return values[static_cast<size_t>(y * width + x)]; }

    Box Ink(int threshold = 128) const
    {
        Box box;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (At(x, y) >= threshold) {
                    box.left = std::min(box.left, x);
                    box.right = std::max(box.right, x);
                    box.top = std::min(box.top, y);
                    box.bottom = std::max(box.bottom, y);
                }
            }
        }
        return box;
    }

    // The ink of each column of the box.
    std::vector<double> Columns(const Box& box) const
    {
        std::vector<double> sums;
        for (int x = box.left; x <= box.right; ++x) {
            double sum = 0.0;
            for (int y = box.top; y <= box.bottom; ++y) {
                sum += At(x, y);
            }
            sums.push_back(sum);
        }
        return sums;
    }
};

double Correlation(const std::vector<double>& a, const std::vector<double>& b)
{
    const long n = static_cast<long>(std::min(a.size(), b.size()));
    const double meanA = std::accumulate(a.begin(), a.begin() + n, 0.0) / static_cast<double>(n);
    const double meanB = std::accumulate(b.begin(), b.begin() + n, 0.0) / static_cast<double>(n);
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
        ab += (a[i] - meanA) * (b[i] - meanB);
        aa += (a[i] - meanA) * (a[i] - meanA);
        bb += (b[i] - meanB) * (b[i] - meanB);
    }
    return ab / std::sqrt(aa * bb);
}

// What SDL2_ttf draws of the text at that pixel size, unhinted as the part
// draws: the reference for where glyphs go. Its picture's top is the font's
// ascender line, as the part's text block's is.
Coverage Reference(const char* text, int pixels, int direction = TTF_DIRECTION_LTR, const char* script = "Latn")
{
    Coverage coverage;
    TTF_Init();
    TTF_Font* font = TTF_OpenFont(FontFile, pixels);
    EXPECT_NE(font, nullptr) << TTF_GetError();
    if (font == nullptr) {
        return coverage;
    }
    TTF_SetFontHinting(font, TTF_HINTING_NONE);
    // Both fail when SDL2_ttf is built without HarfBuzz.
    EXPECT_EQ(TTF_SetFontDirection(font, static_cast<TTF_Direction>(direction)), 0) << TTF_GetError();
    EXPECT_EQ(TTF_SetFontScriptName(font, script), 0) << TTF_GetError();
    SDL_Surface* rendered = TTF_RenderUTF8_Blended(font, text, SDL_Color{255, 255, 255, 255});
    SDL_Surface* surface = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_RGBA32, 0);
    coverage.width = surface->w;
    coverage.height = surface->h;
    for (int y = 0; y < surface->h; ++y) {
        const auto* row = static_cast<const unsigned char*>(surface->pixels) + y * surface->pitch;
        for (int x = 0; x < surface->w; ++x) {
            coverage.values.push_back(row[x * 4 + 3]);
        }
    }
    SDL_FreeSurface(surface);
    SDL_FreeSurface(rendered);
    TTF_CloseFont(font);
    return coverage;
}

} // namespace

class TextGLTest : public VexelTest::PartGLFixture
{
protected:
    std::unique_ptr<TextPart> Make(const Params& params)
    {
        std::unique_ptr<TextPart> part;
        const VexelTest::Captured captured =
            Capture([&] { part.reset(new TextPart(mApp.get(), 0.0, 100.0, 1, "text", {}, params)); });
        EXPECT_FALSE(captured.Threw()) << captured.err;
        if (part) {
            part->Prepare();
        }
        return part;
    }

    // One frame at a running time over a cleared background.
    static void Draw(TextPart& part, double time, const Rgba& background = Black)
    {
        ClearTo(background);
        part.UpdateDemoPart(0.0, time, time);
        part.RenderDemoPart(0.0, time, time);
    }

    // The window's back buffer's red channel as coverage.
    static Coverage Screen()
    {
        std::vector<unsigned char> rgba(static_cast<size_t>(Width * Height * 4));
        glReadPixels(0, 0, Width, Height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        Coverage coverage;
        coverage.width = Width;
        coverage.height = Height;
        coverage.values.resize(static_cast<size_t>(Width * Height));
        for (int y = 0; y < Height; ++y) {
            for (int x = 0; x < Width; ++x) {
                coverage.values[static_cast<size_t>(y * Width + x)] =
                    rgba[static_cast<size_t>(((Height - 1 - y) * Width + x) * 4)];
            }
        }
        return coverage;
    }
};

// The block is SDL2_ttf's picture of the line, placed as a picture of its size would be.
TEST_F(TextGLTest, GlyphsShowWhereSdlTtfPutsThemInTheBlockTheAlignWordsPlace)
{
    const Coverage reference = Reference("Hg", 64);
    const Box inBlock = reference.Ink();
    const int w = reference.width;
    const int h = reference.height;
    const struct
    {
        Params params;
        int x, y; // the block's top left corner
    } cases[] = {
        {{{"align", "left top"}}, 0, 0},
        {{{"align", "right bottom"}}, Width - w, Height - h},
        {{}, (Width - w) / 2, (Height - h) / 2},
        {{{"align", "right"}}, Width - w, (Height - h) / 2},
        {{{"relativeX", "0.25"}, {"relativeY", "0.75"}}, 320 - w / 2, 540 - h / 2},
        {{{"relativeX", "0.25"}, {"align", "right top"}}, Width - w, 0},
        {{{"align", "center top"}}, (Width - w) / 2, 0},
        {{{"relativeY", "0.1"}, {"align", "left center"}}, 0, (Height - h) / 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("row " + std::to_string(&c - cases));
        Params params = {{"text", "Hg"}, {"size", "64"}, {"color", "255 0 0"}};
        params.insert(params.end(), c.params.begin(), c.params.end());
        const auto part = Make(params);
        ASSERT_TRUE(part);
        Draw(*part, 0.0);
        const Box ink = Screen().Ink();
        EXPECT_NEAR(ink.left, c.x + inBlock.left, 2);
        EXPECT_NEAR(ink.right, c.x + inBlock.right, 2);
        EXPECT_NEAR(ink.top, c.y + inBlock.top, 2);
        EXPECT_NEAR(ink.bottom, c.y + inBlock.bottom, 2);
        // In the text's colour well inside SDL2_ttf's ink, the background well away from it.
        for (int y = inBlock.top + 2; y <= inBlock.bottom - 2; y += 5) {
            for (int x = inBlock.left + 2; x <= inBlock.right - 2; x += 3) {
                int low = 255;
                int high = 0;
                for (int i = 0; i < 25; ++i) {
                    low = std::min(low, reference.At(x + i % 5 - 2, y + i / 5 - 2));
                    high = std::max(high, reference.At(x + i % 5 - 2, y + i / 5 - 2));
                }
                if (low == 255 || high == 0) {
                    EXPECT_TRUE(PixelNear(ReadPixel(c.x + x, c.y + y), high == 0 ? Black : Red, 40))
                        << "at " << x << ", " << y << " of the block";
                }
            }
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextGLTest, TheOutlineAndTheShadowLieBeneathTheLetters)
{
    // A tall "I" over grey; probes at a distance from the stem's edges on its middle row.
    const Params letter = {{"text", "I"}, {"size", "200"}};
    const auto plain = Make(letter);
    ASSERT_TRUE(plain);
    Draw(*plain, 0.0, Grey);
    const Box stem = Screen().Ink(180);
    ASSERT_FALSE(stem.Empty());
    const int row = (stem.top + stem.bottom) / 2;
    const Rgba blue{0, 0, 255};
    const struct
    {
        Params params;
        Rgba leftOf3, rightOf3, rightOf12, below12;
    } cases[] = {
        {{}, Grey, Grey, Grey, Grey},
        {{{"outline", "6"}, {"outlineColor", "0 0 255"}}, blue, blue, Grey, Grey},
        {{{"shadow", "16 16"}}, Grey, Black, Black, Black},
        {{{"outline", "6"}, {"outlineColor", "0 0 255"}, {"shadow", "16 16"}}, blue, blue, Black, Black},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("row " + std::to_string(&c - cases));
        Params params = letter;
        params.insert(params.end(), c.params.begin(), c.params.end());
        const auto part = Make(params);
        ASSERT_TRUE(part);
        Draw(*part, 0.0, Grey);
        EXPECT_TRUE(PixelNear(ReadPixel((stem.left + stem.right) / 2, row), {255, 255, 255}));
        EXPECT_TRUE(PixelNear(ReadPixel(stem.left - 3, row), c.leftOf3));
        EXPECT_TRUE(PixelNear(ReadPixel(stem.right + 3, row), c.rightOf3));
        EXPECT_TRUE(PixelNear(ReadPixel(stem.right + 12, row), c.rightOf12));
        EXPECT_TRUE(PixelNear(ReadPixel(stem.right, stem.bottom + 12), c.below12));
    }
}

TEST_F(TextGLTest, RightToLeftLinesMatchSdlTtfsOwnShaping)
{
    const struct
    {
        const char* text;
        const char* script;
    } cases[] = {{"سلام عليكم", "Arab"}, {"שלום עולם", "Hebr"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Coverage reference = Reference(c.text, 64, TTF_DIRECTION_RTL, c.script);
        const Coverage backwards = Reference(c.text, 64, TTF_DIRECTION_LTR, c.script);
        const auto part = Make({{"text", c.text}, {"size", "64"}, {"align", "left top"}});
        ASSERT_TRUE(part);
        Draw(*part, 0.0);
        const Coverage screen = Screen();
        const Box ink = screen.Ink(64);
        const Box expected = reference.Ink(64);
        EXPECT_NEAR(ink.Width(), expected.Width(), 3);
        EXPECT_NEAR(ink.left, expected.left, 2);
        EXPECT_NEAR(ink.top, expected.top, 2);
        // Column by column the ink follows SDL2_ttf's right-to-left line, and
        // not the same letters laid left to right.
        const std::vector<double> drawn = screen.Columns(ink);
        const double matching = Correlation(drawn, reference.Columns(expected));
        const double mismatching = Correlation(drawn, backwards.Columns(backwards.Ink(64)));
        EXPECT_GT(matching, 0.9);
        EXPECT_LT(mismatching, matching - 0.2);
    }
}

TEST_F(TextGLTest, ALongScrollerDrawsOnlyTheLettersInView)
{
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text += "ABCDEFGHIJ";
    }
    const auto part = Make({{"text", text.c_str()}, {"size", "48"}, {"scroll", "300"}});
    ASSERT_TRUE(part);
    ASSERT_EQ(part->mLayout.mGlyphs.size(), 10000u);
    const std::size_t atlasBytes = GlyphAtlasTexture::TotalBytes();
    // Before it comes in, across the window, and once its whole width has passed.
    const double gone = (part->mLayout.mWidth * 48.0 / part->mAtlasPixels + Width) / 300.0 + 1.0;
    for (const double time : {0.0, 30.0, gone}) {
        SCOPED_TRACE(time);
        Draw(*part, time);
        int drawn = 0;
        for (const glm::ivec2& run : part->mVisible) {
            drawn += run.y;
        }
        // The glyphs of the window's width (about 40) and a margin on each side.
        EXPECT_LT(drawn, 120);
        EXPECT_EQ(drawn == 0, time == gone);
        const Box ink = Screen().Ink();
        EXPECT_EQ(ink.Empty(), time != 30.0);
        EXPECT_TRUE(ink.Empty() || (ink.left < 3 && ink.right > Width - 4));
    }
    // Scrolling renders nothing new.
    EXPECT_EQ(GlyphAtlasTexture::TotalBytes(), atlasBytes);
}
