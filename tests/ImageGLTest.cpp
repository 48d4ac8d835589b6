#include "Halvorn/DemoParts/Image.h"

#include "PartGLFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using VexelTest::Capture;
using namespace VexelTest::Colours;
using VexelTest::PixelNear;
using VexelTest::Rgba;
using Lines = std::vector<std::string>;
using Params = std::vector<DemoPartParam>;

namespace {

// 512x256: red, green, blue and yellow quarters (top left, top right, bottom
// left, bottom right) with a magenta stripe down the left 32 columns and a
// cyan one down the right 32, so position, size and turn all show in pixels.
Rgba Quarters(int x, int y)
{
    if (x < 32 || x >= 480) {
        return x < 32 ? Magenta : Cyan;
    }
    if (y < 128) {
        return x < 256 ? Red : Green;
    }
    return x < 256 ? Blue : Yellow;
}

} // namespace

class ImageGLTest : public VexelTest::PartGLFixture
{
protected:
    void SetUp() override
    {
        PartGLFixture::SetUp();
        SavePicture("quarters.png", 512, 256, Quarters);
    }

    struct Built
    {
        std::unique_ptr<Image> part;
        VexelTest::Captured captured;
    };

    // The picture comes last, so it wins over an earlier "image".
    Built Build(Params params, const char* image = "quarters.png")
    {
        if (image != nullptr) {
            params.emplace_back("image", image);
        }
        Built built;
        built.captured = Capture([&] { built.part.reset(new Image(mApp.get(), 2.0, 6.0, 1, "image", {}, params)); });
        return built;
    }

    // One frame through the part's timing, drawn over a cleared background.
    static void Draw(Image& part, const Rgba& background = Black)
    {
        ClearTo(background);
        part.Update(0.02, 2.02);
        part.Render(0.02, 2.02);
    }

    // The picture, upright, covering the window rectangle (x, y, w, h): each
    // quarter and stripe where it belongs and background just outside.
    static void ExpectPictureAt(float x, float y, float w, float h)
    {
        const struct
        {
            float u, v;
            Rgba color;
        } probes[] = {{0.03f, 0.25f, Magenta}, {0.25f, 0.25f, Red},     {0.75f, 0.25f, Green},
                      {0.25f, 0.75f, Blue},    {0.75f, 0.75f, Yellow},  {0.97f, 0.75f, Cyan},
                      {-3.0f / w, 0.5f, Black}, {1 + 3.0f / w, 0.5f, Black}, {0.5f, -3.0f / h, Black},
                      {0.5f, 1 + 3.0f / h, Black}};
        for (const auto& probe : probes) {
            const int px = static_cast<int>(std::lround(x + probe.u * w));
            const int py = static_cast<int>(std::lround(y + probe.v * h));
            if (px >= 0 && px < Width && py >= 0 && py < Height) {
                EXPECT_TRUE(PixelNear(ReadPixel(px, py), probe.color)) << "at " << px << ", " << py;
            }
        }
    }
};

TEST_F(ImageGLTest, OnlyImageFillsTheHeightCentredAndOverlapsBothSidesBy80Pixels)
{
    const Built built = Build({});
    ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
    EXPECT_NE(built.captured.out.find("Image::Image()\n"), std::string::npos) << built.captured.out;
    EXPECT_NE(built.captured.out.find("\nImage real size = 512x256\nImage relative size = 1.125x1\n"),
              std::string::npos);
    EXPECT_EQ(built.captured.err, "");

    // Nothing to draw before the first update.
    ClearTo(Black);
    built.part->Render(0.0, 0.0);
    EXPECT_TRUE(PixelNear(ReadPixel(Width / 2 - 10, Height / 2 - 10), Black));

    Draw(*built.part);
    ExpectPictureAt(-80.0f, 0.0f, 1440.0f, 720.0f);
    // The 32-column stripes are 90 pixels wide on screen; 80 of them lie outside.
    for (int y : {5, 360, 714}) {
        EXPECT_TRUE(PixelNear(ReadPixel(4, y), Magenta));
        EXPECT_TRUE(PixelNear(ReadPixel(16, y), y < 360 ? Red : Blue));
        EXPECT_TRUE(PixelNear(ReadPixel(1275, y), Cyan));
        EXPECT_TRUE(PixelNear(ReadPixel(1263, y), y < 360 ? Green : Yellow));
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Deliberate: a relative position selects free placement on its side, which
// otherwise nothing could select; a later align word takes the side back.
TEST_F(ImageGLTest, RelativeSizesAlignWordsAndRelativePositionsPlaceTheRectangle)
{
    auto unknownWord = [](const std::string& word) {
        return "Error: Unknown value (\"" + word + "\") for key \"align\"\n";
    };
    // One given relative size is completed from the picture's aspect: relativeWidth
    // 0.5 makes it 640x320, 0.25 makes it 320x160.
    const struct
    {
        Params params;
        float x, y, w;
        std::string err;
    } cases[] = {
        {{{"relativeWidth", "0.5"}, {"align", "left top"}}, 0.0f, 0.0f, 640.0f, ""},
        {{{"relativeHeight", "0.5"}, {"align", "left top"}}, 0.0f, 0.0f, 720.0f, ""},
        {{{"relativeWidth", "wide"}, {"relativeHeight", "0.25"}, {"align", "right"}}, 920.0f, 270.0f, 360.0f, ""},
        {{{"relativeWidth", "0.5"}, {"align", "right bottom"}}, 640.0f, 400.0f, 640.0f, ""},
        {{{"relativeWidth", "0.5"}, {"align", "left right"}}, 640.0f, 200.0f, 640.0f, ""},
        {{{"relativeWidth", "0.5"}, {"align", "hcenter vcenter"}}, 320.0f, 200.0f, 640.0f, ""},
        {{{"relativeWidth", "0.5"}, {"align", "left  top"}}, 0.0f, 0.0f, 640.0f, unknownWord("")},
        {{{"relativeWidth", "0.5"}, {"align", "Left middle bottom"}}, 320.0f, 400.0f, 640.0f,
         unknownWord("Left") + unknownWord("middle")},
        {{{"relativeWidth", "0.25"}, {"relativeX", "0.25"}, {"relativeY", "0.75"}}, 160.0f, 460.0f, 320.0f, ""},
        {{{"relativeWidth", "0.25"}, {"relativeX", "0.75"}}, 800.0f, 280.0f, 320.0f, ""},
        {{{"relativeWidth", "0.25"}, {"relativeX", "0.25"}, {"relativeY", "0.75"}, {"align", "hcenter"}}, 480.0f,
         460.0f, 320.0f, ""},
        {{{"relativeWidth", "0.25"}, {"align", "right top"}, {"relativeY", "0.5"}}, 960.0f, 280.0f, 320.0f, ""},
        {{{"relativeWidth", "0.25"}, {"relativeX", "abc"}}, -160.0f, 280.0f, 320.0f, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("row " + std::to_string(&c - cases));
        const Built built = Build(c.params);
        ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
        EXPECT_EQ(built.captured.err, c.err);
        Draw(*built.part);
        ExpectPictureAt(c.x, c.y, c.w, c.w / 2.0f);
    }
}

TEST_F(ImageGLTest, RotateTurnsThePictureClockwiseAboutItsCentre)
{
    // A 320x160 picture centred on the window, probed 40 pixels into each
    // quarter of the turned rectangle and near its top left corner.
    const struct
    {
        const char* rotate;
        Rgba topLeft, topRight, bottomLeft, bottomRight, cornerStripe;
        int hx, hy;  // half extents on screen
    } cases[] = {
        {"90", Blue, Red, Yellow, Green, Magenta, 80, 160},
        {"180", Yellow, Blue, Green, Red, Cyan, 160, 80},
        {"-90", Green, Yellow, Red, Blue, Cyan, 80, 160},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("rotate ") + c.rotate);
        const Built built = Build({{"relativeWidth", "0.25"}, {"rotate", c.rotate}});
        ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
        Draw(*built.part);
        const int dx = c.hx / 2;
        const int dy = c.hy / 2;
        EXPECT_TRUE(PixelNear(ReadPixel(640 - dx, 360 - dy), c.topLeft));
        EXPECT_TRUE(PixelNear(ReadPixel(640 + dx, 360 - dy), c.topRight));
        EXPECT_TRUE(PixelNear(ReadPixel(640 - dx, 360 + dy), c.bottomLeft));
        EXPECT_TRUE(PixelNear(ReadPixel(640 + dx, 360 + dy), c.bottomRight));
        EXPECT_TRUE(PixelNear(ReadPixel(640 + c.hx + 4, 360), Black));
        EXPECT_TRUE(PixelNear(ReadPixel(640, 360 + c.hy + 4), Black));
        EXPECT_TRUE(PixelNear(ReadPixel(640 - c.hx + 4, 360 - c.hy + 4), c.cornerStripe));
    }
}

TEST_F(ImageGLTest, BlendingWordsChooseTheModeAndTheBlendStateIsRestoredAfterDrawing)
{
    // Both relative sizes 1 stretch the picture over the window; drawn over
    // grey and probed in its red quarter.
    const Rgba grey{100, 100, 100};
    const char* const rejected = "Unknown value for key \"blending\"!";
    const struct
    {
        const char* blending;
        const char* alpha;
        Rgba pixel;
        const char* err;
    } cases[] = {
        {"opaque", "0.5", Red, ""},
        {"transcluent", "0.5", {178, 50, 50}, ""},
        {"additive", "1", {255, 100, 100}, ""},
        {"subtractive", "1", {155, 0, 0}, ""},
        {"reversesubtractive", "1", {0, 100, 100}, ""},
        {"translucent", "0.5", Red, rejected},
        {"Additive", "1", Red, rejected},
        {"transcluent", "half", grey, ""},
        {"additive", "0.25", {164, 100, 100}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.blending) + " alpha " + c.alpha);
        const Built built = Build(
            {{"relativeWidth", "1"}, {"relativeHeight", "1"}, {"blending", c.blending}, {"alpha", c.alpha}});
        ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
        EXPECT_EQ(built.captured.err, c.err);
        Draw(*built.part, grey);
        EXPECT_TRUE(PixelNear(ReadPixel(320, 180), c.pixel));
        if (built.part->mBlendMode == Gl::Opaque) {
            ExpectPictureAt(0.0f, 0.0f, 1280.0f, 720.0f);
            EXPECT_TRUE(PixelNear(ReadPixel(1, 1), Magenta));
            EXPECT_TRUE(PixelNear(ReadPixel(1278, 718), Cyan));
        }
        EXPECT_EQ(glIsEnabled(GL_BLEND), static_cast<GLboolean>(GL_FALSE));
        GLint equation = 0;
        glGetIntegerv(GL_BLEND_EQUATION_RGB, &equation);
        EXPECT_EQ(equation, GL_FUNC_ADD);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(ImageGLTest, ParameterWalkReportsUnknownKeysReadsColorAndCloneBuildsAgain)
{
    const Built built = Build({{"image", "missing.png"}, {"Image", "x"}, {"color", "300 -1 7 9"}, {"speed", "2"}});
    ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
    EXPECT_EQ(built.captured.err, "Unknown key \"Image\"!Unknown key \"speed\"!");
    EXPECT_EQ(built.part->mColor, glm::vec4(44, 255, 7, 255));

    std::unique_ptr<DemoPart> copy;
    const auto cloned = Capture([&] { copy.reset(built.part->Clone()); });
    ASSERT_FALSE(cloned.Threw()) << cloned.err;
    EXPECT_EQ(cloned.out, built.captured.out);
    EXPECT_EQ(cloned.err, built.captured.err);
    auto* image = dynamic_cast<Image*>(copy.get());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->mTexture, built.part->mTexture);
    EXPECT_EQ(image->mColor, built.part->mColor);

    const std::pair<const char*, const char*> colors[] = {{"red", "red"}, {"10,20,30", "green"}, {"10 20", "blue"}};
    for (const auto& c : colors) {
        SCOPED_TRACE(c.first);
        const Built failed = Build({{"color", c.first}});
        EXPECT_EQ(failed.part, nullptr);
        const Lines err = failed.captured.ErrLines();
        ASSERT_EQ(err.size(), 4u) << failed.captured.err;
        EXPECT_EQ(err[0], std::string("FATAL ERROR: Assertion (0 != 0 && \"=> color-attribute has unknown ") +
                              c.second +
                              " value n <Halvorn-demo-settings>::<demoparts>::<part>::<param>! Must be in the form "
                              "'r g b' where values are 0-255.\") failed!");
        EXPECT_EQ(err[2], "  in \"lib/Vexel/src/Halvorn/DemoParts/Image.cpp\"");
    }
}

TEST_F(ImageGLTest, PictureThatCannotBeLoadedEndsTheConstruction)
{
    const struct
    {
        const char* image;  // none: no "image" parameter
        std::string what;
        std::string err;  // how standard error starts
    } cases[] = {
        {nullptr, "Image part \"image\" has no \"image\" parameter!", ""},
        {"", "Image part \"image\" has an empty \"image\" parameter!", ""},
        {"nothere.png", "Cannot load image!", "SDL could not load data/textures/nothere.png: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Built built = Build({{"alpha", "1"}}, c.image);
        EXPECT_EQ(built.part, nullptr);
        EXPECT_EQ(built.captured.What(), c.what);
        EXPECT_NE(built.captured.out.find("Image::Image()"), std::string::npos);
        EXPECT_EQ(built.captured.out.find("Image real size"), std::string::npos);
        EXPECT_EQ(built.captured.err.rfind(c.err, 0), 0u) << built.captured.err;
        EXPECT_EQ(c.err.empty(), built.captured.err.empty()) << built.captured.err;
    }
}
