#include "Halvorn/DemoParts/TestPartVao.h"
#include "Halvorn/DemoParts/TestSceneVao.h"

#include "Halvorn/DemoModel.h"
#include "PartGLFixture.h"

#include <glm/gtc/matrix_transform.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;
using VexelTest::Rgba;
using Lines = std::vector<std::string>;

namespace {

const Rgba White{255, 255, 255};
const Rgba TestColor{200, 30, 40};
const Rgba BackgroundColor{20, 60, 220};

// The camera written out from its definition: 45 degrees vertical field of
// view, 16:9, planes 0.1 and 100, eye at (1.3, 1, 2) looking at the origin.
glm::mat4 ExpectedMvp(float angleDegrees)
{
    glm::mat4 projection(0.0f);
    projection[0][0] = 1.0f / (0.41421356f * (16.0f / 9.0f));
    projection[1][1] = 1.0f / 0.41421356f;
    projection[2][2] = -1.002002f;
    projection[2][3] = -1.0f;
    projection[3][2] = -0.2002002f;
    const glm::mat4 view = glm::lookAt(glm::vec3(1.3f, 1.0f, 2.0f), glm::vec3(0.0f), glm::vec3(0.0f, 1.0f, 0.0f));
    const float radians = angleDegrees * 3.14159265f / 180.0f;
    glm::mat4 model(1.0f);
    model[0][0] = std::cos(radians);
    model[0][1] = std::sin(radians);
    model[1][0] = -std::sin(radians);
    model[1][1] = std::cos(radians);
    return projection * view * model;
}

::testing::AssertionResult MatrixNear(const glm::mat4& actual, const glm::mat4& expected, float tolerance)
{
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            if (std::fabs(actual[column][row] - expected[column][row]) > tolerance) {
                return ::testing::AssertionFailure() << "[" << column << "][" << row << "] is "
                                                     << actual[column][row] << ", expected "
                                                     << expected[column][row];
            }
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

    TestPartVao* NewPart(double start, double end, const QString& name,
                         const std::vector<DemoPartParam>& params = {})
    {
        TestPartVao* part = nullptr;
        const auto built = Capture([&] { part = new TestPartVao(mApp, start, end, 0, name, {}, params); });
        EXPECT_FALSE(built.Threw()) << built.err;
        return part;
    }
};

TEST_F(TestSceneVaoGLTest, UpdateTurnsThirtyDegreesPerSecondAndPulsesMeshThree)
{
    std::unique_ptr<TestSceneVao> scene;
    const auto built = Capture([&] { scene.reset(new TestSceneVao(mApp)); });
    ASSERT_FALSE(built.Threw()) << built.err;
    EXPECT_EQ(scene->mMvp, glm::mat4(1.0f));
    EXPECT_TRUE(scene->mMesh3.mSlotData[VaoMesh::Position].empty());

    struct Case
    {
        double time;
        float angle;
        glm::vec2 halfSize;
    };
    const double pi = 3.14159265358979323846;
    const Case cases[] = {
        {0.0, 0.0f, {0.1495f, 0.13f}},
        {3.0, 90.0f, {0.181958f, 0.158224f}},
        {pi / 2.0, 47.12389f, {0.3795f, 0.33f}},
        {pi, 94.2478f, {0.1495f, 0.13f}},
        {12.0, 0.0f, {0.272912f, 0.237315f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        // The step is not used: only the time counts.
        scene->Update(c.time == 0.0 ? 5.0 : 0.0, c.time);
        EXPECT_TRUE(MatrixNear(scene->mMvp, ExpectedMvp(c.angle), 2e-5f));
        const glm::vec2 halfSize = PulseHalfSize(*scene);
        EXPECT_NEAR(halfSize.x, c.halfSize.x, 1e-6f);
        EXPECT_NEAR(halfSize.y, c.halfSize.y, 1e-6f);
    }
    // The pulse is summed in double precision from the widened single-precision
    // constants, then rounded once.
    scene->Update(0.0, pi / 2.0);
    EXPECT_EQ(PulseHalfSize(*scene), glm::vec2(0.37949997186660767f, 0.32999998331069946f));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TestSceneVaoGLTest, SceneDrawsOverAWhiteClear)
{
    std::unique_ptr<TestSceneVao> scene;
    const auto built = Capture([&] { scene.reset(new TestSceneVao(mApp)); });
    ASSERT_FALSE(built.Threw()) << built.err;

    const double pi = 3.14159265358979323846;
    for (double time : {0.0, pi / 2.0}) {
        SCOPED_TRACE(time);
        ClearTo(Rgba{0, 0, 0});
        scene->Update(0.0, time);
        scene->Render(0.0, time);
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(0, 0), White));
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(Width - 1, Height - 1), White));
        // The small quads in the middle carry the background picture.
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(Width / 2, Height / 2), BackgroundColor, 6));
        EXPECT_TRUE(VexelTest::PixelNear(ReadModelPoint(*scene, 0.0f, 0.0f), BackgroundColor, 6));
        // The triangle's corner outside the square carries the test picture.
        EXPECT_TRUE(VexelTest::PixelNear(ReadModelPoint(*scene, -0.6f, -0.6f), TestColor));
        // Beside the square and the triangle there is only the clear colour.
        EXPECT_TRUE(VexelTest::PixelNear(ReadModelPoint(*scene, 0.7f, 0.0f), White));
    }
    // The pulsing quad: at its largest it reaches past the interleaved square.
    EXPECT_TRUE(VexelTest::PixelNear(ReadModelPoint(*scene, 0.3f, 0.0f), TestColor));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TestSceneVaoGLTest, PartRunsTheSceneOnItsOwnRunningTime)
{
    TestPartVao* part = NewPart(10.0, 20.0, "spin");
    ASSERT_NE(part, nullptr);
    mApp->mModel->AddPart(part);

    // Entering at 10.02: the first frame has run 0.02 seconds, a turn of 0.6 degrees.
    Capture([&] {
        mApp->mModel->Update(10.02);
        mApp->mModel->Render(10.02);
    });
    ASSERT_EQ(mApp->mModel->mCurrentParts.size(), 1u);
    EXPECT_NEAR(part->mRunningTime, 0.02, 1e-9);
    EXPECT_NEAR(TurnDegrees(part->mMvp), 0.6f, 1e-3f);

    Capture([&] { mApp->mModel->Update(2.98); });
    EXPECT_NEAR(mApp->mModel->mTime, 13.0, 1e-9);
    EXPECT_NEAR(part->mRunningTime, 3.0, 1e-9);
    EXPECT_TRUE(MatrixNear(part->mMvp, ExpectedMvp(90.0f), 2e-5f));
    const double runningTime = part->mRunningTime;

    // Calls through the scene side go through the part's timing as well.
    TestSceneVao& scene = *part;
    scene.Update(0.5, 100.0);
    EXPECT_NEAR(part->mRunningTime, runningTime + 0.5, 1e-9);
    EXPECT_NEAR(TurnDegrees(part->mMvp), 105.0f, 1e-3f);
    EXPECT_DOUBLE_EQ(part->mLastDelta, 0.5);
    EXPECT_DOUBLE_EQ(part->mLastTime, 100.0);

    // Drawing replays the last update: the picture is the same from either side.
    ClearTo(Rgba{0, 0, 0});
    scene.Render(7.0, 50.0);
    const Rgba drawn = ReadModelPoint(*part, -0.6f, -0.6f);
    EXPECT_TRUE(VexelTest::PixelNear(drawn, TestColor));
    EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(0, 0), White));
    EXPECT_NEAR(part->mRunningTime, runningTime + 0.5, 1e-9);
    EXPECT_NEAR(TurnDegrees(part->mMvp), 105.0f, 1e-3f);
}

TEST_F(TestSceneVaoGLTest, PartIgnoresItsParamsAndTheSceneLogsOnlyThroughItsOwnSide)
{
    std::unique_ptr<TestPartVao> part;
    const std::vector<DemoPartParam> params = {{"color", "1 2 3"}, {"speed", "fast"}, {"", ""}};
    const auto built = Capture([&] { part.reset(new TestPartVao(mApp, 0.0, 5.0, 2, "test", {}, params)); });
    ASSERT_FALSE(built.Threw()) << built.err;
    EXPECT_EQ(built.err, "");
    EXPECT_EQ(built.OutLines().at(0), "TestSceneVao::TestSceneVao()");
    EXPECT_EQ(part->mClassName, "TestPartVao");
    EXPECT_EQ(part->mPriority, 2u);

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
    EXPECT_EQ(sceneSide.OutLines(), (Lines{"TestSceneVao::Activate()",
                                           "TestSceneVao::KeyDown(): Key code 97 pressed down.",
                                           "TestSceneVao::KeyUp(): Key code 97 released.",
                                           "TestSceneVao::KeyDown(): Key code -5 pressed down.",
                                           "TestSceneVao::DeActivate()"}));

    const auto destroyed = Capture([&] { part.reset(); });
    EXPECT_EQ(destroyed.out, "TestSceneVao::~TestSceneVao()\n");
}

TEST_F(TestSceneVaoGLTest, TwoPartsAreTwoIndependentScenes)
{
    TestPartVao* first = NewPart(0.0, 10.0, "first");
    TestPartVao* second = NewPart(1.0, 10.0, "second");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    mApp->mModel->AddPart(first);
    mApp->mModel->AddPart(second);

    EXPECT_NE(first->mShaderProgram.mHandle, second->mShaderProgram.mHandle);
    EXPECT_NE(first->mTestTexture.mHandle, second->mTestTexture.mHandle);
    EXPECT_NE(first->mBackgroundTexture.mHandle, second->mBackgroundTexture.mHandle);
    EXPECT_NE(first->mMesh1.mVertexArray, second->mMesh1.mVertexArray);
    EXPECT_NE(first->mMesh5.mVertexArray, second->mMesh5.mVertexArray);

    Capture([&] {
        mApp->mModel->Update(0.5);
        mApp->mModel->Update(1.0);
        mApp->mModel->Update(0.5);
    });
    EXPECT_NEAR(first->mRunningTime, 2.0, 1e-9);
    EXPECT_NEAR(second->mRunningTime, 1.0, 1e-9);
    EXPECT_NEAR(TurnDegrees(first->mMvp), 60.0f, 1e-3f);
    EXPECT_NEAR(TurnDegrees(second->mMvp), 30.0f, 1e-3f);
    EXPECT_NE(PulseHalfSize(*first), PulseHalfSize(*second));

    // A clone is one more scene of its own, not yet started.
    std::unique_ptr<DemoPart> copy;
    const auto cloned = Capture([&] { copy.reset(first->Clone()); });
    ASSERT_FALSE(cloned.Threw()) << cloned.err;
    auto* clone = dynamic_cast<TestPartVao*>(copy.get());
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(cloned.OutLines().at(0), "TestSceneVao::TestSceneVao()");
    EXPECT_NE(clone->mTestTexture.mHandle, first->mTestTexture.mHandle);
    EXPECT_DOUBLE_EQ(clone->mRunningTime, 0.0);
    EXPECT_EQ(clone->mName, "first");
    EXPECT_DOUBLE_EQ(clone->mStart, 0.0);
    EXPECT_DOUBLE_EQ(clone->mEnd, 10.0);
}

TEST_F(TestSceneVaoGLTest, MissingPictureEndsTheConstruction)
{
    ASSERT_TRUE(QFile::remove("data/textures/bg.jpg"));
    TestPartVao* part = nullptr;
    const auto built = Capture([&] { part = new TestPartVao(mApp, 0.0, 1.0, 0, "p", {}, {}); });
    ASSERT_TRUE(built.Threw());
    EXPECT_EQ(part, nullptr);
    EXPECT_EQ(built.What(), "Cannot load image!");
    EXPECT_EQ(built.ErrLines().at(0).rfind("SDL could not load data/textures/bg.jpg: ", 0), 0u) << built.err;
    // The half-built scene is taken down again.
    EXPECT_EQ(built.OutLines(), (Lines{"TestSceneVao::TestSceneVao()"}));
}
