#include "Halvorn/DemoParts/Image.h"

#include "AssertException.h"
#include "PartGLFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;
using VexelTest::Rgba;
using Lines = std::vector<std::string>;
using Params = std::vector<DemoPartParam>;

namespace {

const Rgba Black{0, 0, 0};
const Rgba Red{255, 0, 0};
const Rgba Green{0, 255, 0};
const Rgba Blue{0, 0, 255};
const Rgba Yellow{255, 255, 0};
const Rgba Magenta{255, 0, 255};
const Rgba Cyan{0, 255, 255};

// 512x256: red, green, blue and yellow quarters (top left, top right, bottom
// left, bottom right) with a magenta stripe down the left 32 columns and a
// cyan one down the right 32, so position, size and turn all show in pixels.
Rgba Quarters(int x, int y)
{
    if (x < 32) {
        return Magenta;
    }
    if (x >= 480) {
        return Cyan;
    }
    if (y < 128) {
        return x < 256 ? Red : Green;
    }
    return x < 256 ? Blue : Yellow;
}

std::string ColorExpression(const std::string& channel)
{
    return "0 != 0 && \"=> color-attribute has unknown " + channel +
           " value n <Halvorn-demo-settings>::<demoparts>::<part>::<param>! Must be in the form 'r g b' where "
           "values are 0-255.\"";
}

// The part's own lines, without the shader program's uniform reports.
Lines PartLines(const VexelTest::Captured& captured)
{
    Lines lines;
    for (const std::string& line : captured.OutLines()) {
        if (line.rfind("Image", 0) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
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

    Built Build(const Params& params)
    {
        Built built;
        built.captured = Capture([&] { built.part.reset(new Image(mApp, 2.0, 6.0, 1, "image", {}, params)); });
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
    void ExpectPictureAt(float x, float y, float w, float h)
    {
        struct Probe
        {
            float u, v;
            Rgba color;
        };
        const Probe inside[] = {
            {0.03f, 0.25f, Magenta}, {0.25f, 0.25f, Red},    {0.75f, 0.25f, Green},
            {0.25f, 0.75f, Blue},    {0.75f, 0.75f, Yellow}, {0.97f, 0.75f, Cyan},
        };
        for (const Probe& probe : inside) {
            const int px = static_cast<int>(std::lround(x + probe.u * w));
            const int py = static_cast<int>(std::lround(y + probe.v * h));
            if (px >= 0 && px < Width && py >= 0 && py < Height) {
                EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(px, py), probe.color)) << "at " << px << ", " << py;
            }
        }
        const int outside[][2] = {
            {static_cast<int>(x) - 3, static_cast<int>(y + h / 2)},
            {static_cast<int>(x + w) + 3, static_cast<int>(y + h / 2)},
            {static_cast<int>(x + w / 2), static_cast<int>(y) - 3},
            {static_cast<int>(x + w / 2), static_cast<int>(y + h) + 3},
        };
        for (const auto& point : outside) {
            if (point[0] >= 0 && point[0] < Width && point[1] >= 0 && point[1] < Height) {
                EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(point[0], point[1]), Black))
                    << "at " << point[0] << ", " << point[1];
            }
        }
    }
};

TEST_F(ImageGLTest, OnlyImageFillsTheHeightCentredAndOverlapsBothSidesBy80Pixels)
{
    const Built built = Build({{"image", "quarters.png"}});
    ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
    EXPECT_EQ(PartLines(built.captured),
              (Lines{"Image::Image()", "Image real size = 512x256", "Image relative size = 1.125x1"}));
    EXPECT_EQ(built.captured.err, "");
    Image& image = *built.part;
    EXPECT_EQ(image.mClassName, "Image");
    EXPECT_FLOAT_EQ(image.mRelativeWidth, 1.125f);
    EXPECT_FLOAT_EQ(image.mRelativeHeight, 1.0f);

    // Nothing to draw before the first update.
    ClearTo(Black);
    image.Render(0.0, 0.0);
    EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(Width / 2 - 10, Height / 2 - 10), Black));

    Draw(image);
    EXPECT_FLOAT_EQ(image.mPositionX, 640.0f);
    EXPECT_FLOAT_EQ(image.mPositionY, 360.0f);
    ASSERT_EQ(image.mQuad.mSlotData[VaoMesh::Position].size(), 12u);
    EXPECT_FLOAT_EQ(image.mQuad.mSlotData[VaoMesh::Position][0], 720.0f);
    EXPECT_FLOAT_EQ(image.mQuad.mSlotData[VaoMesh::Position][1], 360.0f);
    ExpectPictureAt(-80.0f, 0.0f, 1440.0f, 720.0f);
    // The 32-column stripes are 90 pixels wide on screen; 80 of them lie outside.
    for (int y : {5, 360, 714}) {
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(4, y), Magenta));
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(16, y), y < 360 ? Red : Blue));
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(1275, y), Cyan));
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(1263, y), y < 360 ? Green : Yellow));
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ImageGLTest, RelativeSizesAreCompletedFromThePictureAspect)
{
    SavePicture("portrait.png", 256, 512, Quarters);
    struct Case
    {
        const char* file;
        Params sizes;
        float width, height;
        const char* logLine;
    };
    const Case cases[] = {
        {"quarters.png", {}, 1.125f, 1.0f, "Image relative size = 1.125x1"},
        {"portrait.png", {}, 0.28125f, 1.0f, "Image relative size = 0.28125x1"},
        {"quarters.png", {{"relativeWidth", "0.5"}}, 0.5f, 0.444444f, "Image relative size = 0.5x0.444444"},
        {"quarters.png", {{"relativeHeight", "0.5"}}, 0.5625f, 0.5f, "Image relative size = 0.5625x0.5"},
        {"quarters.png", {{"relativeWidth", "1"}, {"relativeHeight", "1"}}, 1.0f, 1.0f,
         "Image relative size = 1x1"},
        {"quarters.png", {{"relativeWidth", "wide"}, {"relativeHeight", "0.25"}}, 0.28125f, 0.25f,
         "Image relative size = 0.28125x0.25"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logLine);
        Params params = c.sizes;
        params.emplace_back("image", c.file);
        const Built built = Build(params);
        ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
        const Lines lines = PartLines(built.captured);
        ASSERT_EQ(lines.size(), 3u) << built.captured.out;
        EXPECT_EQ(lines[2], c.logLine);
        EXPECT_NEAR(built.part->mRelativeWidth, c.width, 1e-6f);
        EXPECT_NEAR(built.part->mRelativeHeight, c.height, 1e-6f);
    }
}

TEST_F(ImageGLTest, AlignWordsPlaceTheRectangleAgainstTheWindowEdges)
{
    // relativeWidth 0.5 makes the picture 640x320.
    struct Case
    {
        const char* align;
        int horizontal, vertical;
        float x, y;
        const char* err;
    };
    const Case cases[] = {
        {"left top", 1, 1, 0.0f, 0.0f, ""},
        {"right bottom", 3, 3, 640.0f, 400.0f, ""},
        {"bottom right", 3, 3, 640.0f, 400.0f, ""},
        {"left right", 3, 2, 640.0f, 200.0f, ""},
        {"hcenter vcenter", 2, 2, 320.0f, 200.0f, ""},
        {"left  top", 1, 1, 0.0f, 0.0f, "Error: Unknown value (\"\") for key \"align\"\n"},
        {"Left middle bottom", 2, 3, 320.0f, 400.0f,
         "Error: Unknown value (\"Left\") for key \"align\"\nError: Unknown value (\"middle\") for key \"align\"\n"},
        {"", 2, 2, 320.0f, 200.0f, "Error: Unknown value (\"\") for key \"align\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("align \"") + c.align + "\"");
        const Built built = Build({{"image", "quarters.png"}, {"relativeWidth", "0.5"}, {"align", c.align}});
        ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
        EXPECT_EQ(built.captured.err, c.err);
        EXPECT_EQ(built.part->mHorizontalAlignment, c.horizontal);
        EXPECT_EQ(built.part->mVerticalAlignment, c.vertical);
        Draw(*built.part);
        EXPECT_FLOAT_EQ(built.part->mPositionX, c.x + 320.0f);
        EXPECT_FLOAT_EQ(built.part->mPositionY, c.y + 160.0f);
        ExpectPictureAt(c.x, c.y, 640.0f, 320.0f);
    }
}

TEST_F(ImageGLTest, RelativePositionSelectsFreePlacementUntilALaterAlignWord)
{
    // relativeWidth 0.25 makes the picture 320x160.
    struct Case
    {
        const char* what;
        Params params;
        int horizontal, vertical;
        float centreX, centreY;
    };
    const Case cases[] = {
        {"both given", {{"relativeX", "0.25"}, {"relativeY", "0.75"}}, 0, 0, 320.0f, 540.0f},
        {"x only", {{"relativeX", "0.75"}}, 0, 2, 960.0f, 360.0f},
        {"align after x", {{"relativeX", "0.25"}, {"relativeY", "0.75"}, {"align", "hcenter"}}, 2, 0, 640.0f,
         540.0f},
        {"align before y", {{"align", "right top"}, {"relativeY", "0.5"}}, 3, 0, 1120.0f, 360.0f},
        {"not a number", {{"relativeX", "abc"}}, 0, 2, 0.0f, 360.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Params params = {{"image", "quarters.png"}, {"relativeWidth", "0.25"}};
        params.insert(params.end(), c.params.begin(), c.params.end());
        const Built built = Build(params);
        ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
        EXPECT_EQ(built.captured.err, "");
        EXPECT_EQ(built.part->mHorizontalAlignment, c.horizontal);
        EXPECT_EQ(built.part->mVerticalAlignment, c.vertical);
        Draw(*built.part);
        EXPECT_FLOAT_EQ(built.part->mPositionX, c.centreX);
        EXPECT_FLOAT_EQ(built.part->mPositionY, c.centreY);
        ExpectPictureAt(c.centreX - 160.0f, c.centreY - 80.0f, 320.0f, 160.0f);
    }
}

TEST_F(ImageGLTest, RotateTurnsThePictureClockwiseAboutItsCentre)
{
    // A 320x160 picture centred on the window; probes 40 pixels into each
    // quarter of the turned rectangle.
    struct Case
    {
        const char* rotate;
        Rgba topLeft, topRight, bottomLeft, bottomRight;
        bool upright;
        // The stripe that ends up in the top left corner.
        Rgba cornerStripe;
    };
    const Case cases[] = {
        {"0", Red, Green, Blue, Yellow, false, Magenta},
        {"90", Blue, Red, Yellow, Green, true, Magenta},
        {"180", Yellow, Blue, Green, Red, false, Cyan},
        {"-90", Green, Yellow, Red, Blue, true, Cyan},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("rotate ") + c.rotate);
        const Built built =
            Build({{"image", "quarters.png"}, {"relativeWidth", "0.25"}, {"rotate", c.rotate}});
        ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
        Draw(*built.part);
        EXPECT_FLOAT_EQ(built.part->mPositionX, 640.0f);
        EXPECT_FLOAT_EQ(built.part->mPositionY, 360.0f);
        // Half extents on screen: 160x80, or 80x160 when turned a quarter.
        const int hx = c.upright ? 80 : 160;
        const int hy = c.upright ? 160 : 80;
        const int dx = hx / 2;
        const int dy = hy / 2;
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(640 - dx, 360 - dy), c.topLeft));
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(640 + dx, 360 - dy), c.topRight));
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(640 - dx, 360 + dy), c.bottomLeft));
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(640 + dx, 360 + dy), c.bottomRight));
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(640 + hx + 4, 360), Black));
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(640, 360 + hy + 4), Black));
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(640 - hx + 4, 360 - hy + 4), c.cornerStripe));
    }
}

TEST_F(ImageGLTest, BlendingWordsChooseTheModeAndTheBlendStateIsRestoredAfterDrawing)
{
    // The picture stretched over the window, drawn over grey and probed in
    // its red quarter.
    const Rgba grey{100, 100, 100};
    struct Case
    {
        const char* blending;
        const char* alpha;
        Gl::BlendMode mode;
        float alphaValue;
        Rgba pixel;
        const char* err;
    };
    const char* const rejected = "Unknown value for key \"blending\"!";
    const Case cases[] = {
        {"opaque", "0.5", Gl::Opaque, 0.5f, {255, 0, 0}, ""},
        {"transcluent", "0.5", Gl::Translucent, 0.5f, {178, 50, 50}, ""},
        {"additive", "1", Gl::Additive, 1.0f, {255, 100, 100}, ""},
        {"subtractive", "1", Gl::Subtractive, 1.0f, {155, 0, 0}, ""},
        {"reversesubtractive", "1", Gl::ReverseSubtractive, 1.0f, {0, 100, 100}, ""},
        {"translucent", "0.5", Gl::Opaque, 0.5f, {255, 0, 0}, rejected},
        {"Additive", "1", Gl::Opaque, 1.0f, {255, 0, 0}, rejected},
        {"transcluent", "half", Gl::Translucent, 0.0f, grey, ""},
        {"additive", "0.25", Gl::Additive, 0.25f, {164, 100, 100}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.blending) + " alpha " + c.alpha);
        const Built built = Build({{"image", "quarters.png"},
                                   {"relativeWidth", "1"},
                                   {"relativeHeight", "1"},
                                   {"blending", c.blending},
                                   {"alpha", c.alpha}});
        ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
        EXPECT_EQ(built.captured.err, c.err);
        EXPECT_EQ(built.part->mBlendMode, c.mode);
        EXPECT_FLOAT_EQ(built.part->mAlpha, c.alphaValue);

        Draw(*built.part, grey);
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(320, 180), c.pixel));
        if (c.mode == Gl::Opaque) {
            // Both relative sizes 1 stretch the picture over the whole window.
            ExpectPictureAt(0.0f, 0.0f, 1280.0f, 720.0f);
            EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(1, 1), Magenta));
            EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(1278, 718), Cyan));
        }
        EXPECT_EQ(glIsEnabled(GL_BLEND), static_cast<GLboolean>(GL_FALSE));
        GLint equation = 0;
        glGetIntegerv(GL_BLEND_EQUATION_RGB, &equation);
        EXPECT_EQ(equation, GL_FUNC_ADD);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(ImageGLTest, ParameterWalkReportsUnknownKeysAndReadsColorLikeClearScreen)
{
    const Built built = Build({{"image", "missing.png"},
                               {"Image", "x"},
                               {"color", "300 -1 7 9"},
                               {"speed", "2"},
                               {"image", "quarters.png"}});
    ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
    EXPECT_EQ(built.captured.err, "Unknown key \"Image\"!Unknown key \"speed\"!");
    EXPECT_EQ(built.part->mColor, glm::vec4(44, 255, 7, 255));
    EXPECT_EQ(PartLines(built.captured),
              (Lines{"Image::Image()", "Image real size = 512x256", "Image relative size = 1.125x1"}));

    // The copy builds itself again, loading and logging alike.
    std::unique_ptr<DemoPart> copy;
    const auto cloned = Capture([&] { copy.reset(built.part->Clone()); });
    ASSERT_FALSE(cloned.Threw()) << cloned.err;
    EXPECT_EQ(cloned.out, built.captured.out);
    EXPECT_EQ(cloned.err, built.captured.err);
    auto* image = dynamic_cast<Image*>(copy.get());
    ASSERT_NE(image, nullptr);
    EXPECT_NE(image->mTexture.mHandle, built.part->mTexture.mHandle);
    EXPECT_EQ(image->mColor, glm::vec4(44, 255, 7, 255));
    EXPECT_DOUBLE_EQ(image->mStart, 2.0);
    EXPECT_DOUBLE_EQ(image->mEnd, 6.0);

    struct Case
    {
        const char* value;
        const char* channel;
    };
    for (const Case& c : {Case{"red", "red"}, Case{"10,20,30", "green"}, Case{"10 20", "blue"}}) {
        SCOPED_TRACE(c.value);
        const Built failed = Build({{"image", "quarters.png"}, {"color", c.value}});
        ASSERT_TRUE(failed.captured.Threw());
        EXPECT_EQ(failed.part, nullptr);
        try {
            std::rethrow_exception(failed.captured.exception);
        } catch (const AssertException& e) {
            EXPECT_EQ(std::string(e.expression), ColorExpression(c.channel));
            EXPECT_EQ(std::string(e.file), "lib/Vexel/src/Halvorn/DemoParts/Image.cpp");
            EXPECT_NE(std::string(e.function).find("Image::Image("), std::string::npos) << e.function;
        } catch (...) {
            ADD_FAILURE() << "not an AssertException";
        }
    }
}

TEST_F(ImageGLTest, PictureThatCannotBeLoadedEndsTheConstruction)
{
    struct Case
    {
        const char* what;
        Params params;
        const char* path;
    };
    const Case cases[] = {
        {"no image", {{"alpha", "1"}}, "data/textures/"},
        {"missing file", {{"image", "nothere.png"}}, "data/textures/nothere.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Built built = Build(c.params);
        ASSERT_TRUE(built.captured.Threw());
        EXPECT_EQ(built.part, nullptr);
        EXPECT_EQ(built.captured.What(), "Cannot load image!");
        EXPECT_EQ(PartLines(built.captured), Lines{"Image::Image()"});
        const Lines err = built.captured.ErrLines();
        ASSERT_FALSE(err.empty());
        EXPECT_EQ(err[0].rfind(std::string("SDL could not load ") + c.path + ": ", 0), 0u) << err[0];
    }
}
