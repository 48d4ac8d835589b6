#include "Halvorn/DemoParts/Image.h"
#include "PictureCache.h"
#include "ProgramCache.h"

#include "PartGLFixture.h"

#include <gtest/gtest.h>

#include <QFile>

#include <map>
#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;
using VexelTest::PixelNear;
using VexelTest::Rgba;
using Params = std::vector<DemoPartParam>;

namespace {

const Rgba Black{0, 0, 0};
const Rgba Red{255, 0, 0};
const Rgba Green{0, 255, 0};
const Rgba Blue{0, 0, 255};
const Rgba Yellow{255, 255, 0};

// 64x32 in four quarters, so a stretched or shifted quad shows in pixels.
Rgba Quarters(int x, int y)
{
    if (y < 16) {
        return x < 32 ? Red : Green;
    }
    return x < 32 ? Blue : Yellow;
}

} // namespace

class ImageSharingGLTest : public VexelTest::PartGLFixture
{
protected:
    void SetUp() override
    {
        PartGLFixture::SetUp();
        SavePicture("quarters.png", 64, 32, Quarters);
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

    // A coarse grid over the window: enough to see any change of place or size.
    static std::vector<Rgba> Grid()
    {
        std::vector<Rgba> pixels;
        for (int y = 5; y < Height; y += 30) {
            for (int x = 5; x < Width; x += 30) {
                pixels.push_back(ReadPixel(x, y));
            }
        }
        return pixels;
    }

    static void ExpectSameGrid(const std::vector<Rgba>& actual, const std::vector<Rgba>& expected)
    {
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < actual.size(); ++i) {
            EXPECT_TRUE(PixelNear(actual[i], expected[i])) << "grid point " << i;
        }
    }
};

TEST_F(ImageSharingGLTest, PartsShowingOnePictureShareItsTextureAndProgramUntilTheLastGoes)
{
    Built first = Build("quarters.png");
    Built second = Build("quarters.png");
    ASSERT_NE(first.part, nullptr) << first.captured.err;
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
    Draw(*first.part);
    const std::vector<Rgba> shown = Grid();
    Capture([&] { first.part.reset(); });
    EXPECT_EQ(glIsTexture(texture), static_cast<GLboolean>(GL_TRUE));
    EXPECT_EQ(glIsProgram(program), static_cast<GLboolean>(GL_TRUE));
    Capture([&] { Draw(*second.part); });
    ExpectSameGrid(Grid(), shown);

    glUseProgram(0); // a program in use is only flagged for deletion
    Capture([&] { second.part.reset(); });
    EXPECT_EQ(glIsTexture(texture), static_cast<GLboolean>(GL_FALSE));
    EXPECT_EQ(glIsProgram(program), static_cast<GLboolean>(GL_FALSE));
    EXPECT_EQ(PictureCache::Count(), 0u);
    EXPECT_EQ(ProgramCache::Count(), 0u);
}

TEST_F(ImageSharingGLTest, FailedLoadsFailInEveryPartAndLeaveTheSharedEntriesIntact)
{
    ASSERT_TRUE(QFile("data/textures/text.png").open(QIODevice::WriteOnly)); // not a picture
    Built good = Build("quarters.png");
    ASSERT_NE(good.part, nullptr) << good.captured.err;
    const GLuint texture = good.part->mTexture->mHandle;

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
            EXPECT_EQ(failed.captured.ErrLines().at(0).rfind(std::string("SDL could not load data/textures/") + image,
                                                              0),
                      0u)
                << failed.captured.err;
            const auto known = reports.emplace(image, failed.captured.err);
            EXPECT_EQ(failed.captured.err, known.first->second);
        }
    }
    PictureCache::DropPrefetched();

    EXPECT_EQ(PictureCache::Count(), 1u);
    EXPECT_EQ(glIsTexture(texture), static_cast<GLboolean>(GL_TRUE));
    const Built again = Build("quarters.png");
    ASSERT_NE(again.part, nullptr) << again.captured.err;
    EXPECT_EQ(again.part->mTexture, good.part->mTexture);
    Capture([&] { Draw(*good.part); });
    EXPECT_TRUE(PixelNear(ReadPixel(Width / 2 - 20, Height / 4), Red));
    EXPECT_TRUE(PixelNear(ReadPixel(Width / 2 + 20, Height * 3 / 4), Yellow));
}

TEST_F(ImageSharingGLTest, QuadKeepsItsGlObjectsAndDrawsLikeANewPartAfterASizeChange)
{
    Built kept = Build("quarters.png", {{"relativeWidth", "0.5"}});
    ASSERT_NE(kept.part, nullptr) << kept.captured.err;
    Capture([&] { Draw(*kept.part); });
    const GLuint vertexArray = kept.part->mQuad.mVertexArray;
    const GLuint positions = kept.part->mQuad.mBuffers[VaoMesh::Position];

    const struct
    {
        const char* width;
        const char* height;
    } sizes[] = {{"1", "1"}, {"0.25", "0.75"}, {"0.25", "0.75"}, {"0.5", "0.5"}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::string(size.width) + "x" + size.height);
        const Built fresh = Build("quarters.png", {{"relativeWidth", size.width}, {"relativeHeight", size.height}});
        ASSERT_NE(fresh.part, nullptr) << fresh.captured.err;
        Capture([&] { Draw(*fresh.part); });
        const std::vector<Rgba> expected = Grid();

        kept.part->mRelativeWidth = fresh.part->mRelativeWidth;
        kept.part->mRelativeHeight = fresh.part->mRelativeHeight;
        Capture([&] { Draw(*kept.part); });
        ExpectSameGrid(Grid(), expected);
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
