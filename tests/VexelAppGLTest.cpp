#include "VexelApp.h"

#include "Audio/BassAudio2d.h"
#include "FrameTiming.h"
#include "GlTestFixture.h"
#include "OutputCapture.h"
#include "Sdl2OpenglWindow.h"
#include "XvfbServer.h"

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using VexelTest::Capture;

namespace {

const std::string UpdateLine = "VexelApp::Update(): Non-overridden empty implementation";
const std::string RenderLine = "VexelApp::Render() const: Non-overridden empty implementation";

double Seconds(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

// Seconds since this process started, from the kernel's record (field 22).
double SecondsSinceProcessStart()
{
    std::ifstream stat("/proc/self/stat");
    const std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(content.substr(content.rfind(')') + 2));
    std::string field;
    for (int index = 3; index <= 22 && fields >> field; ++index) {
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return now.tv_sec + now.tv_nsec / 1e9 - std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

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
        if (mFrames == 2) {
            mSecondFrameStart = SecondsSinceProcessStart();
        }
        // What the previous frame left, taken note of as a subclass does.
        mSeen.push_back({dt, time, mFpsUpdated ? 1.0 : 0.0, mFps});
        mFpsUpdated = false;
        VexelApp::HandleEvents(dt, time);
    }

    void MouseMotion(unsigned int state, int xrel, int yrel, int x, int y) override
    {
        mMotions.push_back({static_cast<int>(state), xrel, yrel, x, y});
        VexelApp::MouseMotion(state, xrel, yrel, x, y);
    }

    int mFrames = 0;
    int mMaxFrames = 100;
    double mSecondFrameStart = -1.0;
    std::vector<std::vector<double>> mSeen;
    std::vector<std::vector<int>> mMotions;
};

// The application never deletes its audio object; tests do, so that the next
// one may open a device.
struct AppDeleter
{
    void operator()(VexelApp* app) const
    {
        Audio2d* audio = app->mAudio;
        delete app;
        delete audio;
    }
};
using AppPtr = std::unique_ptr<ProbeApp, AppDeleter>;

AppPtr MakeApp()
{
    AppPtr app;
    const auto captured = Capture([&] { app.reset(new ProbeApp()); });
    EXPECT_FALSE(captured.Threw()) << captured.err;
    return app;
}

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
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
};

TEST_F(VexelAppGLTest, ConstructionOpensWindowAndAudioUnderTheFinalTitle)
{
    AppPtr app;
    const auto captured = Capture([&] { app.reset(new ProbeApp()); });
    ASSERT_FALSE(captured.Threw()) << captured.err;
    const auto lines = captured.OutLines();
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[0], "VexelApp::VexelApp()");
    EXPECT_EQ(lines[1], "== Probe v.0.1 ====================================================");
    EXPECT_EQ(lines[2], "Sdl2OpenglWindow::Sdl2OpenglWindow()");
    EXPECT_EQ(lines.back(), "Sdl2OpenglWindow::SetWindowTitle()");
    EXPECT_EQ(captured.err, "");

    const Sdl2OpenglWindow& window = *app->mWindow;
    EXPECT_EQ(window.mWidth, 1280);
    EXPECT_EQ(window.mHeight, 720);
    EXPECT_EQ(window.mAspectRatio, 16.0f / 9.0f);
    EXPECT_EQ(window.mTitle, "Probe v.0.1");
    EXPECT_STREQ(SDL_GetWindowTitle(window.mWindow), "Probe v.0.1");

    ASSERT_NE(dynamic_cast<BassAudio2d*>(app->mAudio), nullptr);
    int frequency = 0;
    int channels = 0;
    EXPECT_EQ(Mix_QuerySpec(&frequency, nullptr, &channels), 1);
    EXPECT_EQ(frequency, 44100);
    EXPECT_EQ(channels, 2);

    EXPECT_FALSE(app->mQuit || app->mFpsUpdated);
    EXPECT_EQ(app->mFps, 0.0f);
    EXPECT_EQ(app->mFpsUpdateInterval, 1.0f);
    EXPECT_EQ(app->ParseArgument(3, {"a", "--settings", "x.xml"}, 1), 1);
    EXPECT_EQ(app->GetDataPath(), "data/");
    EXPECT_EQ(app->GetShaderPath() + "standard.330.vert", "data/shaders/standard.330.vert");
    EXPECT_EQ(app->GetTexturePath() + "bg.jpg", "data/textures/bg.jpg");
}

TEST_F(VexelAppGLTest, FailedConstructionStopsAtTheFailingStepAndGivesEverythingBack)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    AppPtr app;
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
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const auto retry = Capture([&] { app.reset(new ProbeApp()); });
    EXPECT_FALSE(retry.Threw()) << retry.err;
}

TEST_F(VexelAppGLTest, QuitEventOrEscapeEndsRunAfterTheWholeFrame)
{
    struct Case { Uint32 type; SDL_Keycode key; std::string line; };
    const Case cases[] = {
        {SDL_QUIT, 0, "VexelApp::OperatingSystemQuitEvent()"},
        {SDL_KEYDOWN, SDLK_ESCAPE, "VexelApp::KeyDown(): Key code 27 pressed down."},
    };
    for (const Case& c : cases) {
        auto app = MakeApp();
        ASSERT_TRUE(app);
        Push(c.type, c.key);
        bool result = false;
        const auto start = std::chrono::steady_clock::now();
        const auto run = Capture([&] { result = app->Run(); });
        const double elapsed = Seconds(std::chrono::steady_clock::now()) - Seconds(start);
        EXPECT_TRUE(result && app->mQuit) << c.line;
        EXPECT_EQ(app->mFrames, 1) << c.line;
        EXPECT_EQ(run.OutLines(), (std::vector<std::string>{c.line, UpdateLine, RenderLine}));
        EXPECT_GE(elapsed, 0.010) << c.line << ": the frame ends with its sleep";
    }
}

TEST_F(VexelAppGLTest, EventsAreDispatchedInOrderWithRepeatsAndOthersDropped)
{
    auto app = MakeApp();
    ASSERT_TRUE(app);
    // What the window system has sent so far would come first.
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    Push(SDL_KEYDOWN, SDLK_a);
    Push(SDL_KEYDOWN, SDLK_a, 1);
    Push(SDL_KEYDOWN, SDLK_a, 1);
    Push(SDL_KEYUP, SDLK_a);
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.state = SDL_BUTTON_LMASK | SDL_BUTTON_RMASK;
    motion.motion.xrel = 3;
    motion.motion.yrel = -4;
    motion.motion.x = 100;
    motion.motion.y = 200;
    SDL_PushEvent(&motion);
    Push(SDL_USEREVENT);
    Push(SDL_KEYDOWN, SDLK_F1);
    Push(SDL_KEYUP, SDLK_ESCAPE);
    Push(SDL_KEYDOWN, SDLK_ESCAPE);

    const auto run = Capture([&] { app->Run(); });
    EXPECT_EQ(app->mFrames, 1);
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{
        "VexelApp::KeyDown(): Key code 97 pressed down.", "VexelApp::KeyDown(): Key code 97 pressed down.",
        "VexelApp::KeyDown(): Key code 97 pressed down.", "VexelApp::KeyUp(): Key code 97 released.",
        "VexelApp::KeyDown(): Key code 1073741882 pressed down.", "VexelApp::KeyUp(): Key code 27 released.",
        "VexelApp::KeyDown(): Key code 27 pressed down.", UpdateLine, RenderLine}));
    // The X server may add a motion of its own behind ours.
    ASSERT_FALSE(app->mMotions.empty());
    EXPECT_EQ(app->mMotions.front(), (std::vector<int>{SDL_BUTTON_LMASK | SDL_BUTTON_RMASK, 3, -4, 100, 200}));
}

TEST_F(VexelAppGLTest, RunSumsFrameTimesAndRefreshesFpsWhenTheIntervalIsReached)
{
    auto app = MakeApp();
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
    EXPECT_TRUE(app->mFps > 0.0f && app->mFps <= 101.0f) << app->mFps;
}

TEST_F(VexelAppGLTest, StartUpAndShutdownLogInOrder)
{
    // A fresh process: SDL comes up for the first time.
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            // Only standard error reaches the matcher; the log is on stdout.
            std::fflush(stdout);
            dup2(STDERR_FILENO, STDOUT_FILENO);
            auto* app = new VexelApp(0, nullptr, "Probe", "0.1", 1280, 720, 16.0f / 9.0f, false, 3, 3);
            Push(SDL_QUIT);
            app->Run();
            delete app;
            std::exit(0);
        },
        ::testing::ExitedWithCode(0),
        "^VexelApp::VexelApp\\(\\)\n== Probe v\\.0\\.1 ={52}\nSdl2OpenglWindow::Sdl2OpenglWindow\\(\\)\n"
        "SDL init was called! \\(flag=33\\)\n"
        "OpenGL vendor:   [^ \n][^\n]*\nOpenGL renderer: [^ \n][^\n]*\n"
        "OpenGL version:  [0-9]+\\.[0-9]+ \\([^\n]+\\)\nGLSL version:    [^ \n][^\n]*\n"
        "Sdl2OpenglWindow::SetWindowTitle\\(\\)\nVexelApp::OperatingSystemQuitEvent\\(\\)\n"
        "VexelApp::Update\\(\\): Non-overridden empty implementation\n"
        "VexelApp::Render\\(\\) const: Non-overridden empty implementation\n"
        "VexelApp::~VexelApp\\(\\)\nSdl2OpenglWindow::~Sdl2OpenglWindow\\(\\)\nSDL quit was called!\n$");
}

TEST_F(VexelAppGLTest, RecordsTimeFromProcessStartToTheFirstSwappedFrame)
{
    const double beforeApp = SecondsSinceProcessStart();
    auto app = MakeApp();
    ASSERT_TRUE(app);
    app->mMaxFrames = 2;
    Capture([&] { app->Run(); });
    // The second frame begins after the first one's swap and 10 ms sleep.
    ASSERT_GT(app->mSecondFrameStart, beforeApp);
    const int total = static_cast<int>(app->mSecondFrameStart * 1000.0);
    const int fromApp = static_cast<int>((app->mSecondFrameStart - beforeApp) * 1000.0);
    RecordProperty("process_start_to_first_swap_ms", total);
    RecordProperty("app_construction_to_first_swap_ms", fromApp);
    std::cout << "first swapped frame: " << total << " ms after process start, " << fromApp
              << " ms after construction began" << std::endl;
}

class PrintOpenGlInfoGLTest : public VexelTest::GlTestFixture
{
};

TEST_F(PrintOpenGlInfoGLTest, FourAlignedLinesThenOneLinePerExtension)
{
    auto text = [](GLenum name) { return std::string(reinterpret_cast<const char*>(glGetString(name))); };
    GLint count = 0;
    GLint major = 0;
    GLint minor = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    std::vector<std::string> expected = {
        "OpenGL vendor:   " + text(GL_VENDOR), "OpenGL renderer: " + text(GL_RENDERER),
        "OpenGL version:  " + std::to_string(major) + "." + std::to_string(minor) + " (" + text(GL_VERSION) + ")",
        "GLSL version:    " + text(GL_SHADING_LANGUAGE_VERSION)};
    EXPECT_EQ(Capture([] { PrintOpenGlInfo(false); }).OutLines(), expected);

    ASSERT_GT(count, 0);
    for (GLint i = 0; i < count; ++i) {
        expected.push_back(reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i))));
    }
    EXPECT_EQ(Capture([] { PrintOpenGlInfo(true); }).OutLines(), expected);
}
