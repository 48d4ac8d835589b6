#include "Halvorn/DemoParts/TestPartVao.h"
#include "Halvorn/DemoParts/TestSceneVao.h"

#include "Halvorn/DemoModel.h"
#include "PartGLFixture.h"

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;
using VexelTest::PixelNear;
using VexelTest::Rgba;
using Lines = std::vector<std::string>;

namespace {

const Rgba White{255, 255, 255};
const Rgba TestColor{200, 30, 40};
const Rgba BackgroundColor{20, 60, 220};
const double Pi = 3.14159265358979323846;

// The camera from its definition: 45 degrees vertical field of view, 16:9,
// planes 0.1 and 100, eye at (1.3, 1, 2) looking at the origin; the model
// turned about z.
glm::mat4 ExpectedMvp(float angleDegrees)
{
    return glm::perspective(glm::radians(45.0f), 16.0f / 9.0f, 0.1f, 100.0f) *
           glm::lookAt(glm::vec3(1.3f, 1.0f, 2.0f), glm::vec3(0.0f), glm::vec3(0.0f, 1.0f, 0.0f)) *
           glm::rotate(glm::mat4(1.0f), glm::radians(angleDegrees), glm::vec3(0.0f, 0.0f, 1.0f));
}

::testing::AssertionResult MatrixNear(const glm::mat4& actual, const glm::mat4& expected)
{
    for (int column = 0; column < 4; ++column) {
        if (glm::distance(actual[column], expected[column]) > 4e-5f) {
            return ::testing::AssertionFailure() << "column " << column << " differs by "
                                                 << glm::distance(actual[column], expected[column]);
        }
    }
    return ::testing::AssertionSuccess();
}

// The turn of the model out of an MVP: view and projection taken off again.
float TurnDegrees(const glm::mat4& mvp)
{
    const glm::mat4 model = glm::inverse(ExpectedMvp(0.0f)) * mvp;
    return std::atan2(model[0][1], model[0][0]) * 180.0f / 3.14159265f;
}

// mesh 3's half sizes: its first vertex is (hx, hy).
glm::vec2 PulseHalfSize(const TestSceneVao& scene)
{
    const std::vector<float>& positions = scene.mMesh3.mSlotData[VaoMesh::Position];
    return positions.size() >= 2 ? glm::vec2(positions[0], positions[1]) : glm::vec2(-1.0f);
}

} // namespace

class TestSceneVaoGLTest : public VexelTest::PartGLFixture
{
protected:
    void SetUp() override
    {
        PartGLFixture::SetUp();
        SavePicture("test.png", 64, 64, [](int, int) { return TestColor; });
        SavePicture("bg.jpg", 64, 64, [](int, int) { return BackgroundColor; });
    }

    // Where a point of the scene's model space lands in the window.
    static Rgba ReadModelPoint(const TestSceneVao& scene, float x, float y)
    {
        const glm::vec4 clip = scene.mMvp * glm::vec4(x, y, 0.0f, 1.0f);
        const float px = (clip.x / clip.w + 1.0f) * 0.5f * Width;
        const float py = (1.0f - clip.y / clip.w) * 0.5f * Height;
        return ReadPixel(static_cast<int>(px), static_cast<int>(py));
    }

    TestPartVao* NewPart(double start, double end, const std::vector<DemoPartParam>& params = {})
    {
        TestPartVao* part = nullptr;
        const auto built = Capture([&] { part = new TestPartVao(mApp.get(), start, end, 2, "spin", {}, params); });
        EXPECT_FALSE(built.Threw()) << built.err;
        EXPECT_EQ(built.err, "");
        EXPECT_EQ(built.OutLines().at(0), "TestSceneVao::TestSceneVao()");
        return part;
    }
};

TEST_F(TestSceneVaoGLTest, UpdateTurnsThirtyDegreesPerSecondPulsesMeshThreeAndDraws)
{
    std::unique_ptr<TestSceneVao> scene;
    const auto built = Capture([&] { scene.reset(new TestSceneVao(mApp.get())); });
    ASSERT_FALSE(built.Threw()) << built.err;

    const struct
    {
        double time;
        float angle;
        glm::vec2 halfSize;
    } cases[] = {
        {0.0, 0.0f, {0.1495f, 0.13f}},          {3.0, 90.0f, {0.181958f, 0.158224f}},
        {Pi, 94.2478f, {0.1495f, 0.13f}},       {12.0, 0.0f, {0.272912f, 0.237315f}},
        {Pi / 2.0, 47.12389f, {0.3795f, 0.33f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.time);
        // The step is not used: only the time counts.
        scene->Update(c.time == 0.0 ? 5.0 : 0.0, c.time);
        EXPECT_TRUE(MatrixNear(scene->mMvp, ExpectedMvp(c.angle)));
        EXPECT_NEAR(PulseHalfSize(*scene).x, c.halfSize.x, 1e-6f);
        EXPECT_NEAR(PulseHalfSize(*scene).y, c.halfSize.y, 1e-6f);
    }
    // The pulse is summed in double precision from the widened single-precision
    // constants, then rounded once.
    EXPECT_EQ(PulseHalfSize(*scene), glm::vec2(0.37949997186660767f, 0.32999998331069946f));

    // At pi/2 the pulsing quad is at its largest and reaches past the square.
    ClearTo(Rgba{0, 0, 0});
    scene->Render(0.0, Pi / 2.0);
    EXPECT_TRUE(PixelNear(ReadPixel(0, 0), White));
    EXPECT_TRUE(PixelNear(ReadPixel(Width / 2, Height / 2), BackgroundColor, 6));
    EXPECT_TRUE(PixelNear(ReadModelPoint(*scene, -0.6f, -0.6f), TestColor));
    EXPECT_TRUE(PixelNear(ReadModelPoint(*scene, 0.3f, 0.0f), TestColor));
    EXPECT_TRUE(PixelNear(ReadModelPoint(*scene, 0.7f, 0.0f), White));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TestSceneVaoGLTest, EachPartRunsItsOwnSceneOnItsOwnRunningTime)
{
    TestPartVao* part = NewPart(10.0, 20.0);
    TestPartVao* later = NewPart(11.0, 20.0);
    ASSERT_TRUE(part != nullptr && later != nullptr);
    mApp->mModel->AddPart(part);
    mApp->mModel->AddPart(later);
    EXPECT_NE(part->mTestTexture.mHandle, later->mTestTexture.mHandle);
    EXPECT_NE(part->mMesh1.mVertexArray, later->mMesh1.mVertexArray);

    // Entering at 10.02: the first frame has run 0.02 seconds, a turn of 0.6 degrees.
    Capture([&] {
        mApp->mModel->Update(10.02);
        mApp->mModel->Render(10.02);
    });
    EXPECT_NEAR(TurnDegrees(part->mMvp), 0.6f, 1e-3f);
    Capture([&] { mApp->mModel->Update(2.98); });
    EXPECT_NEAR(part->mRunningTime, 3.0, 1e-9);
    EXPECT_TRUE(MatrixNear(part->mMvp, ExpectedMvp(90.0f)));
    EXPECT_NEAR(TurnDegrees(later->mMvp), 60.0f, 1e-3f);
    EXPECT_NE(PulseHalfSize(*part), PulseHalfSize(*later));

    // Calls through the scene side go through the part's timing as well, and
    // drawing replays the last update.
    TestSceneVao& scene = *part;
    scene.Update(0.5, 100.0);
    EXPECT_NEAR(part->mRunningTime, 3.5, 1e-9);
    EXPECT_NEAR(TurnDegrees(part->mMvp), 105.0f, 1e-3f);
    ClearTo(Rgba{0, 0, 0});
    scene.Render(7.0, 50.0);
    EXPECT_TRUE(PixelNear(ReadModelPoint(*part, -0.6f, -0.6f), TestColor));
    EXPECT_TRUE(PixelNear(ReadPixel(0, 0), White));
    EXPECT_NEAR(part->mRunningTime, 3.5, 1e-9);
    EXPECT_NEAR(TurnDegrees(part->mMvp), 105.0f, 1e-3f);

    // A clone is one more scene of its own, not yet started.
    std::unique_ptr<DemoPart> copy;
    const auto cloned = Capture([&] { copy.reset(part->Clone()); });
    auto* clone = dynamic_cast<TestPartVao*>(copy.get());
    ASSERT_NE(clone, nullptr) << cloned.err;
    EXPECT_NE(clone->mTestTexture.mHandle, part->mTestTexture.mHandle);
    EXPECT_DOUBLE_EQ(clone->mRunningTime, 0.0);
    EXPECT_EQ(clone->mName, "spin");
    EXPECT_DOUBLE_EQ(clone->mStart, 10.0);
}

TEST_F(TestSceneVaoGLTest, PartIgnoresItsParamsAndTheSceneLogsOnlyThroughItsOwnSide)
{
    // NewPart checks that the params gave no report.
    std::unique_ptr<TestPartVao> part(NewPart(0.0, 5.0, {{"color", "1 2 3"}, {"speed", "fast"}, {"", ""}}));
    ASSERT_NE(part, nullptr);
    DemoPart& asPart = *part;
    TestSceneVao& asScene = *part;
    const auto partSide = Capture([&] {
        asPart.BeginPart();
        asPart.Activate();
        asPart.KeyDown(97);
        asPart.KeyUp(97);
        asPart.DeActivate();
        asPart.EndPart();
    });
    EXPECT_EQ(partSide.out, "");
    const auto sceneSide = Capture([&] {
        asScene.Activate();
        asScene.KeyDown(97);
        asScene.KeyUp(97);
        asScene.KeyDown(-5);
        asScene.MouseMotion(1, 2, 3, 4, 5);
        asScene.DeActivate();
    });
    EXPECT_EQ(sceneSide.OutLines(),
              (Lines{"TestSceneVao::Activate()", "TestSceneVao::KeyDown(): Key code 97 pressed down.",
                     "TestSceneVao::KeyUp(): Key code 97 released.",
                     "TestSceneVao::KeyDown(): Key code -5 pressed down.", "TestSceneVao::DeActivate()"}));
    EXPECT_EQ(Capture([&] { part.reset(); }).out, "TestSceneVao::~TestSceneVao()\n");
}

TEST_F(TestSceneVaoGLTest, MissingPictureEndsTheConstruction)
{
    ASSERT_TRUE(QFile::remove("data/textures/bg.jpg"));
    TestPartVao* part = nullptr;
    const auto built = Capture([&] { part = new TestPartVao(mApp.get(), 0.0, 1.0, 0, "p", {}, {}); });
    EXPECT_EQ(part, nullptr);
    EXPECT_EQ(built.What(), "Cannot load image!");
    EXPECT_EQ(built.ErrLines().at(0).rfind("SDL could not load data/textures/bg.jpg: ", 0), 0u) << built.err;
    // The half-built scene is taken down again.
    EXPECT_EQ(built.OutLines(), (Lines{"TestSceneVao::TestSceneVao()"}));
}
