#include "VexelApp.h"

#include "Audio/BassAudio2d.h"
#include "FrameTiming.h"
#include "GlTestFixture.h"
#include "OutputCapture.h"
#include "Sdl2OpenglWindow.h"
#include "TestApp.h"

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

using VexelTest::Capture;
using Lines = std::vector<std::string>;

namespace {

const std::string UpdateLine = "VexelApp::Update(): Non-overridden empty implementation";
const std::string RenderLine = "VexelApp::Render() const: Non-overridden empty implementation";

// Keeps Update and Render as they are; records what each frame was handed
// and ends a run that would otherwise never end.
class ProbeApp : public VexelApp
{
public:
    ProbeApp() : VexelApp(0, nullptr, "Probe", "0.1", 1280, 720, 16.0f / 9.0f, false, 3, 3) {}

    void HandleEvents(double dt, double time) override
    {
        if (++mFrames >= mMaxFrames) {
            mQuit = true;
        }
        // What the previous frame left, taken note of as a subclass does.
        mSeen.push_back({dt, time, mFpsUpdated ? 1.0 : 0.0, mFps});
        mFpsUpdated = false;
        VexelApp::HandleEvents(dt, time);
    }
    void MouseMotion(unsigned int state, int xrel, int yrel, int x, int y) override
    {
        mMotions.push_back({static_cast<int>(state), xrel, yrel, x, y});
    }

    int mFrames = 0;
    int mMaxFrames = 100;
    std::vector<std::vector<double>> mSeen;
    std::vector<std::vector<int>> mMotions;
};

void Push(Uint32 type, SDL_Keycode sym = 0, Uint8 repeat = 0)
{
    SDL_Event event{};
    event.type = type;
    event.key.repeat = repeat;
    event.key.keysym.sym = sym;
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

} // namespace

class VexelAppGLTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VexelTest::EnsureDisplay();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    void TearDown() override
    {
        // Whatever a failed test left up, the next one starts without it.
        SDL_Quit();
        unsetenv("SDL_VIDEODRIVER");
    }
};

TEST_F(VexelAppGLTest, FailedConstructionGivesEverythingBackAndASuccessfulOneEndsUnderTheFinalTitle)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    VexelTest::AppPtr<ProbeApp> app;
    const auto noWindow = Capture([&] { app.reset(new ProbeApp()); });
    EXPECT_EQ(noWindow.What().rfind("ERROR: Could not create window: ", 0), 0u) << noWindow.What();
    const auto lines = noWindow.OutLines();
    ASSERT_GE(lines.size(), 4u) << noWindow.out;
    EXPECT_EQ(lines[2], "Sdl2OpenglWindow::Sdl2OpenglWindow()");
    // Only the start-up wrapper's own lines follow: no audio, no GL report.
    for (std::size_t i = 3; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("SDL ", 0), 0u) << lines[i];
    }
    SDL_Quit();
    unsetenv("SDL_VIDEODRIVER");

    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    const auto noAudio = Capture([&] { app.reset(new ProbeApp()); });
    EXPECT_EQ(noAudio.What().rfind("BASS error(1): BassAudio2d::Init() - can't initialize device\n", 0), 0u);
    EXPECT_EQ(noAudio.OutLines().back(), "Sdl2OpenglWindow::~Sdl2OpenglWindow()");

    // Nothing was left behind: an application can still be made.
    app = VexelTest::MakeTestApp<ProbeApp>();
    ASSERT_TRUE(app);
    EXPECT_STREQ(SDL_GetWindowTitle(app->mWindow->mWindow), "Probe v.0.1");
    ASSERT_NE(dynamic_cast<BassAudio2d*>(app->mAudio), nullptr);
    int frequency = 0, channels = 0;
    EXPECT_EQ(Mix_QuerySpec(&frequency, nullptr, &channels), 1);
    EXPECT_TRUE(frequency == 44100 && channels == 2) << frequency << " Hz, " << channels << " channels";
    EXPECT_EQ(app->ParseArgument(3, {"a", "--settings", "x.xml"}, 1), 1);
    EXPECT_EQ(app->GetShaderPath() + "standard.330.vert", "data/shaders/standard.330.vert");
    EXPECT_EQ(app->GetTexturePath() + "bg.jpg", "data/textures/bg.jpg");
}

TEST_F(VexelAppGLTest, EventsAreDispatchedInOrderAndEscapeOrQuitEndsRunAfterTheWholeFrame)
{
    auto app = VexelTest::MakeTestApp<ProbeApp>();
    ASSERT_TRUE(app);
    // What the window system has sent so far would come first.
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    Push(SDL_KEYDOWN, SDLK_a);
    Push(SDL_KEYDOWN, SDLK_a, 1);
    Push(SDL_KEYUP, SDLK_a);
    SDL_Event motion{};
    motion.motion = {SDL_MOUSEMOTION, 0, 0, 0, SDL_BUTTON_LMASK | SDL_BUTTON_RMASK, 100, 200, 3, -4};
    SDL_PushEvent(&motion);
    Push(SDL_USEREVENT);
    Push(SDL_KEYDOWN, SDLK_F1);
    Push(SDL_KEYUP, SDLK_ESCAPE);
    Push(SDL_KEYDOWN, SDLK_ESCAPE);

    bool result = false;
    const auto run = Capture([&] { result = app->Run(); });
    EXPECT_TRUE(result);
    EXPECT_EQ(app->mFrames, 1);
    // Key repeats are not filtered; events the application has no handler for are dropped.
    EXPECT_EQ(run.OutLines(),
              (Lines{"VexelApp::KeyDown(): Key code 97 pressed down.", "VexelApp::KeyDown(): Key code 97 pressed down.",
                     "VexelApp::KeyUp(): Key code 97 released.", "VexelApp::KeyDown(): Key code 1073741882 pressed down.",
                     "VexelApp::KeyUp(): Key code 27 released.", "VexelApp::KeyDown(): Key code 27 pressed down.",
                     UpdateLine, RenderLine}));
    // The X server may add a motion of its own behind ours.
    ASSERT_FALSE(app->mMotions.empty());
    EXPECT_EQ(app->mMotions.front(), (std::vector<int>{SDL_BUTTON_LMASK | SDL_BUTTON_RMASK, 3, -4, 100, 200}));

    // The system's quit event ends it the same way.
    app->mQuit = false;
    Push(SDL_QUIT);
    EXPECT_EQ(Capture([&] { EXPECT_TRUE(app->Run()); }).OutLines(),
              (Lines{"VexelApp::OperatingSystemQuitEvent()", UpdateLine, RenderLine}));
    EXPECT_EQ(app->mFrames, 2);
}

TEST_F(VexelAppGLTest, RunSumsFrameTimesAndRefreshesFpsWhenTheIntervalIsReached)
{
    auto app = VexelTest::MakeTestApp<ProbeApp>();
    ASSERT_TRUE(app);
    app->mFpsUpdateInterval = 0.1f;
    app->mMaxFrames = 30;
    Capture([&] { app->Run(); });
    ASSERT_EQ(app->mSeen.size(), 30u);

    double sum = 0.0;
    double lastRefresh = 0.0;
    int refreshes = 0;
    for (std::size_t i = 0; i + 1 < app->mSeen.size(); ++i) {
        const double dt = app->mSeen[i][0];
        sum += dt;
        EXPECT_EQ(app->mSeen[i][1], sum) << "frame " << i;
        // Whole milliseconds in single precision, at least the 10 ms sleep apart.
        EXPECT_EQ(dt, Vexel::FrameSeconds(0, static_cast<std::uint32_t>(std::lround(dt * 1000.0))));
        EXPECT_TRUE(i == 0 || dt >= 0.0099) << "frame " << i;
        // Frame i's refresh is seen when frame i + 1 begins.
        const bool due = sum >= lastRefresh + static_cast<double>(0.1f);
        EXPECT_EQ(app->mSeen[i + 1][2], due ? 1.0 : 0.0) << "frame " << i;
        if (due) {
            EXPECT_EQ(app->mSeen[i + 1][3], Vexel::FramesPerSecond(dt)) << "frame " << i;
            lastRefresh = sum;
            ++refreshes;
        }
    }
    EXPECT_GE(refreshes, 1);
}

class PrintOpenGlInfoGLTest : public VexelTest::GlTestFixture
{
};

TEST_F(PrintOpenGlInfoGLTest, FourAlignedLinesThenOneLinePerExtension)
{
    auto text = [](GLenum name) { return std::string(reinterpret_cast<const char*>(glGetString(name))); };
    GLint count = 0, major = 0, minor = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    Lines expected = {"OpenGL vendor:   " + text(GL_VENDOR), "OpenGL renderer: " + text(GL_RENDERER),
                      "OpenGL version:  " + std::to_string(major) + "." + std::to_string(minor) + " (" +
                          text(GL_VERSION) + ")",
                      "GLSL version:    " + text(GL_SHADING_LANGUAGE_VERSION)};
    ASSERT_GT(count, 0);
    for (GLint i = 0; i < count; ++i) {
        expected.push_back(reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i))));
    }
    EXPECT_EQ(Capture([] { PrintOpenGlInfo(true); }).OutLines(), expected);
}
