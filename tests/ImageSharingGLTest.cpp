#include "Halvorn/DemoParts/Image.h"
#include "PictureCache.h"
#include "ProgramCache.h"

#include "PartGLFixture.h"

#include <gtest/gtest.h>

#include <QFile>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using VexelTest::Capture;
using namespace VexelTest::Colours;
using VexelTest::PixelNear;
using VexelTest::Rgba;
using Params = std::vector<DemoPartParam>;

class ImageSharingGLTest : public VexelTest::PartGLFixture
{
protected:
    void SetUp() override
    {
        PartGLFixture::SetUp();
        // Four quarters, so a stretched or shifted quad shows in pixels.
        SavePicture("quarters.png", 64, 32,
                    [](int x, int y) { return y < 16 ? (x < 32 ? Red : Green) : (x < 32 ? Blue : Yellow); });
    }

    struct Built
    {
        std::unique_ptr<Image> part;
        VexelTest::Captured captured;
    };

    Built Build(const char* image, Params params = {})
    {
        params.emplace_back("image", image);
        Built built;
        built.captured = Capture([&] { built.part.reset(new Image(mApp.get(), 0.0, 9.0, 1, "image", {}, params)); });
        return built;
    }

    static void Draw(Image& part)
    {
        ClearTo(Black);
        part.Update(0.02, 0.02);
        part.Render(0.02, 0.02);
    }

    // A coarse grid over the window, each point as red, green and blue on or
    // off: enough to see any change of place or size.
    static std::string Grid()
    {
        std::string grid;
        for (int y = 5; y < Height; y += 30) {
            for (int x = 5; x < Width; x += 30) {
                const Rgba pixel = ReadPixel(x, y);
                grid += static_cast<char>('0' + (pixel.r > 127) * 4 + (pixel.g > 127) * 2 + (pixel.b > 127));
            }
        }
        return grid;
    }
};

TEST_F(ImageSharingGLTest, PartsShareOnePictureAndProgramUntilTheLastGoesAndFailedLoadsShareNothing)
{
    ASSERT_TRUE(QFile("data/textures/text.png").open(QIODevice::WriteOnly)); // not a picture
    Built first = Build("quarters.png");
    ASSERT_NE(first.part, nullptr) << first.captured.err;

    // Twice each: the second part must fail as the first did, not reuse
    // anything; decoded ahead on a worker thread, with the same report.
    std::map<std::string, std::string> reports;
    for (const bool ahead : {false, false, true}) {
        if (ahead) {
            PictureCache::Prefetch({"data/textures/nothere.png", "data/textures/text.png"});
        }
        for (const char* image : {"nothere.png", "text.png"}) {
            SCOPED_TRACE(std::string(image) + (ahead ? " decoded ahead" : ""));
            const Built failed = Build(image);
            EXPECT_EQ(failed.part, nullptr);
            EXPECT_EQ(failed.captured.What(), "Cannot load image!");
            EXPECT_EQ(failed.captured.err.rfind(std::string("SDL could not load data/textures/") + image, 0), 0u)
                << failed.captured.err;
            EXPECT_EQ(failed.captured.err, reports.emplace(image, failed.captured.err).first->second);
        }
    }
    PictureCache::DropPrefetched();

    Built second = Build("quarters.png");
    ASSERT_NE(second.part, nullptr) << second.captured.err;
    // Each part still writes its whole log, uniform lookup included.
    EXPECT_EQ(second.captured.out, first.captured.out);
    EXPECT_NE(first.captured.out.find("Getting new uniform location \"Tex1\""), std::string::npos);
    EXPECT_EQ(first.part->mTexture, second.part->mTexture);
    EXPECT_EQ(first.part->mShaderProgram.mHandle, second.part->mShaderProgram.mHandle);
    EXPECT_EQ(PictureCache::Count(), 1u);
    EXPECT_EQ(ProgramCache::Count(), 1u);

    const GLuint texture = first.part->mTexture->mHandle;
    const GLuint program = first.part->mShaderProgram.mHandle;
    Capture([&] { Draw(*first.part); });
    const std::string shown = Grid();
    EXPECT_TRUE(PixelNear(ReadPixel(Width / 2 + 20, Height * 3 / 4), Yellow));
    Capture([&] { first.part.reset(); });
    EXPECT_EQ(glIsTexture(texture), static_cast<GLboolean>(GL_TRUE));
    EXPECT_EQ(glIsProgram(program), static_cast<GLboolean>(GL_TRUE));
    Capture([&] { Draw(*second.part); });
    EXPECT_EQ(Grid(), shown);

    glUseProgram(0); // a program in use is only flagged for deletion
    Capture([&] { second.part.reset(); });
    EXPECT_EQ(glIsTexture(texture), static_cast<GLboolean>(GL_FALSE));
    EXPECT_EQ(glIsProgram(program), static_cast<GLboolean>(GL_FALSE));
    EXPECT_EQ(PictureCache::Count(), 0u);
    EXPECT_EQ(ProgramCache::Count(), 0u);
}

TEST_F(ImageSharingGLTest, QuadKeepsItsGlObjectsAndDrawsLikeANewPartAfterASizeChange)
{
    Built kept = Build("quarters.png", {{"relativeWidth", "0.5"}});
    ASSERT_NE(kept.part, nullptr) << kept.captured.err;
    Capture([&] { Draw(*kept.part); });
    const GLuint vertexArray = kept.part->mQuad.mVertexArray;
    const GLuint positions = kept.part->mQuad.mBuffers[VaoMesh::Position];

    // Both sides, one side at a time, or none.
    const std::pair<const char*, const char*> sizes[] = {{"1", "1"}, {"1", "0.75"}, {"1", "0.75"}, {"0.5", "0.75"}};
    for (const auto& [width, height] : sizes) {
        SCOPED_TRACE(std::string(width) + "x" + height);
        const Built fresh = Build("quarters.png", {{"relativeWidth", width}, {"relativeHeight", height}});
        ASSERT_NE(fresh.part, nullptr) << fresh.captured.err;
        Capture([&] { Draw(*fresh.part); });
        const std::string expected = Grid();

        kept.part->mRelativeWidth = fresh.part->mRelativeWidth;
        kept.part->mRelativeHeight = fresh.part->mRelativeHeight;
        Capture([&] { Draw(*kept.part); });
        EXPECT_EQ(Grid(), expected);
        EXPECT_EQ(kept.part->mQuad.mVertexArray, vertexArray);
        EXPECT_EQ(kept.part->mQuad.mBuffers[VaoMesh::Position], positions);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ImageSharingGLTest, PictureOnOrJustBeyondTheFarPlaneIsDrawn)
{
    const Built built = Build("quarters.png", {{"relativeWidth", "1"}, {"relativeHeight", "1"}});
    ASSERT_NE(built.part, nullptr) << built.captured.err;
    // The part's own plane is exactly 1000; the others stand for a driver that
    // rounds the quad's depth just past it.
    for (float farPlane : {1000.0f, 999.99f, 999.0f}) {
        SCOPED_TRACE(farPlane);
        built.part->mViewport.Setup(Width, Height, -1000.0f, farPlane, 1000.0f);
        Capture([&] { Draw(*built.part); });
        EXPECT_TRUE(PixelNear(ReadPixel(Width / 4, Height / 4), Red));
        EXPECT_TRUE(PixelNear(ReadPixel(Width * 3 / 4, Height * 3 / 4), Yellow));
        EXPECT_EQ(glIsEnabled(GL_DEPTH_CLAMP), static_cast<GLboolean>(GL_FALSE));
    }
}
