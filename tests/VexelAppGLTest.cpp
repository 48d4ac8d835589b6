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
#include <string>
#include <unistd.h>
#include <vector>

using VexelTest::Capture;

namespace {

const std::string UpdateLine = "VexelApp::Update(): Non-overridden empty implementation";
const std::string RenderLine = "VexelApp::Render() const: Non-overridden empty implementation";

// Overrides nothing the tests look at; it only counts frames and ends a run
// that would otherwise never end.
class ProbeApp : public VexelApp
{
public:
    explicit ProbeApp(bool noSound = false)
        : VexelApp(0, nullptr, "Probe", "0.1", 1280, 720, 16.0f / 9.0f, noSound, 3, 3)
    {
    }

    void HandleEvents(double dt, double time) override
    {
        ++mFrames;
        if (mFrames >= mMaxFrames) {
            mQuit = true;
        }
        VexelApp::HandleEvents(dt, time);
    }

    int mFrames = 0;
    int mMaxFrames = 100;
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

template <typename App>
using AppPtr = std::unique_ptr<App, AppDeleter>;

template <typename App>
AppPtr<App> MakeApp()
{
    AppPtr<App> app;
    const auto captured = Capture([&] { app.reset(new App()); });
    if (captured.Threw()) {
        ADD_FAILURE() << "construction failed: " << captured.err;
    }
    return app;
}

void PushKey(Uint32 type, SDL_Keycode sym, Uint8 repeat = 0)
{
    SDL_Event event{};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat;
    event.key.keysym.sym = sym;
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

void PushType(Uint32 type)
{
    SDL_Event event{};
    event.type = type;
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

double NowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
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
    AppPtr<ProbeApp> app;
    const auto captured = Capture([&] { app.reset(new ProbeApp()); });
    ASSERT_FALSE(captured.Threw()) << captured.err;
    const auto lines = captured.OutLines();
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[0], "VexelApp::VexelApp()");
    EXPECT_EQ(lines[1], "== Probe v.0.1 ====================================================");
    EXPECT_EQ(lines[2], "Sdl2OpenglWindow::Sdl2OpenglWindow()");
    EXPECT_EQ(lines.back(), "Sdl2OpenglWindow::SetWindowTitle()");
    EXPECT_EQ(captured.err, "");

    ASSERT_NE(app->mWindow, nullptr);
    EXPECT_EQ(app->mWindow->mWidth, 1280);
    EXPECT_EQ(app->mWindow->mHeight, 720);
    EXPECT_EQ(app->mWindow->mAspectRatio, 16.0f / 9.0f);
    EXPECT_EQ(app->mWindow->mTitle, "Probe v.0.1");
    EXPECT_STREQ(SDL_GetWindowTitle(app->mWindow->mWindow), "Probe v.0.1");

    ASSERT_NE(dynamic_cast<BassAudio2d*>(app->mAudio), nullptr);
    int frequency = 0;
    int channels = 0;
    EXPECT_EQ(Mix_QuerySpec(&frequency, nullptr, &channels), 1);
    EXPECT_EQ(frequency, 44100);
    EXPECT_EQ(channels, 2);

    EXPECT_FALSE(app->mQuit);
    EXPECT_EQ(app->mFps, 0.0f);
    EXPECT_EQ(app->mFpsUpdateInterval, 1.0f);
    EXPECT_FALSE(app->mFpsUpdated);
    EXPECT_EQ(app->ParseArgument(3, {"a", "--settings", "x.xml"}, 1), 1);

    EXPECT_EQ(app->GetDataPath(), "data/");
    EXPECT_EQ(app->GetShaderPath() + "standard.330.vert", "data/shaders/standard.330.vert");
    EXPECT_EQ(app->GetTexturePath() + "bg.jpg", "data/textures/bg.jpg");
}

TEST_F(VexelAppGLTest, FailedConstructionStopsAtTheFailingStepAndGivesEverythingBack)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    AppPtr<ProbeApp> app;
    const auto noWindow = Capture([&] { app.reset(new ProbeApp()); });
    ASSERT_TRUE(noWindow.Threw());
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
    ASSERT_TRUE(noAudio.Threw());
    EXPECT_EQ(noAudio.What().rfind("BASS error(1): BassAudio2d::Init() - can't initialize device\n", 0), 0u);
    EXPECT_EQ(noAudio.OutLines().back(), "Sdl2OpenglWindow::~Sdl2OpenglWindow()");
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);

    // Nothing was left behind: an application can still be made.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const auto retry = Capture([&] { app.reset(new ProbeApp()); });
    EXPECT_FALSE(retry.Threw()) << retry.err;
}

TEST_F(VexelAppGLTest, QuitEventOrEscapeEndsRunAfterTheWholeFrame)
{
    struct Case { const char* name; std::function<void()> push; std::string line; };
    const Case cases[] = {
        {"quit", [] { PushType(SDL_QUIT); }, "VexelApp::OperatingSystemQuitEvent()"},
        {"escape", [] { PushKey(SDL_KEYDOWN, SDLK_ESCAPE); }, "VexelApp::KeyDown(): Key code 27 pressed down."},
    };
    for (const Case& c : cases) {
        auto app = MakeApp<ProbeApp>();
        ASSERT_TRUE(app);
        c.push();
        bool result = false;
        const double start = NowSeconds();
        const auto run = Capture([&] { result = app->Run(); });
        const double elapsed = NowSeconds() - start;
        ASSERT_FALSE(run.Threw()) << c.name;
        EXPECT_TRUE(result) << c.name;
        EXPECT_EQ(app->mFrames, 1) << c.name;
        EXPECT_TRUE(app->mQuit) << c.name;
        EXPECT_EQ(run.OutLines(), (std::vector<std::string>{c.line, UpdateLine, RenderLine})) << c.name;
        EXPECT_GE(elapsed, 0.010) << c.name << ": the frame ends with its sleep";
    }
}

class RecordingApp : public ProbeApp
{
public:
    void MouseMotion(unsigned int state, int xrel, int yrel, int x, int y) override
    {
        mMotions.push_back({static_cast<int>(state), xrel, yrel, x, y});
        VexelApp::MouseMotion(state, xrel, yrel, x, y);
    }

    std::vector<std::vector<int>> mMotions;
};

TEST_F(VexelAppGLTest, EventsAreDispatchedInOrderWithRepeatsAndOthersDropped)
{
    auto app = MakeApp<RecordingApp>();
    ASSERT_TRUE(app);
    // What the window system has sent so far would come first.
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    PushKey(SDL_KEYDOWN, SDLK_a);
    PushKey(SDL_KEYDOWN, SDLK_a, 1);
    PushKey(SDL_KEYDOWN, SDLK_a, 1);
    PushKey(SDL_KEYUP, SDLK_a);
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.state = SDL_BUTTON_LMASK | SDL_BUTTON_RMASK;
    motion.motion.xrel = 3;
    motion.motion.yrel = -4;
    motion.motion.x = 100;
    motion.motion.y = 200;
    SDL_PushEvent(&motion);
    PushType(SDL_USEREVENT);
    PushKey(SDL_KEYDOWN, SDLK_F1);
    PushKey(SDL_KEYUP, SDLK_ESCAPE);
    PushKey(SDL_KEYDOWN, SDLK_ESCAPE);

    const auto run = Capture([&] { app->Run(); });
    ASSERT_FALSE(run.Threw());
    EXPECT_EQ(app->mFrames, 1);
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{
        "VexelApp::KeyDown(): Key code 97 pressed down.",
        "VexelApp::KeyDown(): Key code 97 pressed down.",
        "VexelApp::KeyDown(): Key code 97 pressed down.",
        "VexelApp::KeyUp(): Key code 97 released.",
        "VexelApp::KeyDown(): Key code 1073741882 pressed down.",
        "VexelApp::KeyUp(): Key code 27 released.",
        "VexelApp::KeyDown(): Key code 27 pressed down.",
        UpdateLine,
        RenderLine,
    }));
    // The X server may add a motion of its own (the pointer entering the
    // window) behind ours.
    ASSERT_FALSE(app->mMotions.empty());
    EXPECT_EQ(app->mMotions.front(), (std::vector<int>{SDL_BUTTON_LMASK | SDL_BUTTON_RMASK, 3, -4, 100, 200}));
}

class TimingApp : public ProbeApp
{
public:
    void Update(double dt, double time) override
    {
        mDts.push_back(dt);
        mTimes.push_back(time);
        mSawFpsUpdate.push_back(mFpsUpdated);
        mSeenFps.push_back(mFps);
        // Taking note, as a subclass does.
        mFpsUpdated = false;
    }
    void Render(double, double) const override {}

    std::vector<double> mDts;
    std::vector<double> mTimes;
    std::vector<bool> mSawFpsUpdate;
    std::vector<float> mSeenFps;
};

TEST_F(VexelAppGLTest, RunSumsFrameTimesAndRefreshesFpsWhenTheIntervalIsReached)
{
    auto app = MakeApp<TimingApp>();
    ASSERT_TRUE(app);
    app->mFpsUpdateInterval = 0.1f;
    app->mMaxFrames = 30;
    const auto run = Capture([&] { app->Run(); });
    ASSERT_FALSE(run.Threw());
    ASSERT_EQ(app->mDts.size(), 30u);

    double sum = 0.0;
    double lastRefresh = 0.0;
    int refreshes = 0;
    for (std::size_t i = 0; i < app->mDts.size(); ++i) {
        const double dt = app->mDts[i];
        sum += dt;
        EXPECT_EQ(app->mTimes[i], sum) << "frame " << i;
        // Whole milliseconds, in single precision.
        EXPECT_EQ(dt, static_cast<double>(static_cast<float>(std::lround(dt * 1000.0)) / 1000.0f)) << "frame " << i;
        if (i > 0) {
            EXPECT_GE(dt, 0.0099) << "frame " << i << " follows a 10 ms sleep";
        }
        // The flag set at the end of frame i is seen by the update of frame i + 1.
        if (i + 1 < app->mDts.size()) {
            const bool due = sum >= lastRefresh + static_cast<double>(0.1f);
            EXPECT_EQ(app->mSawFpsUpdate[i + 1], due) << "frame " << i;
            if (due) {
                EXPECT_EQ(app->mSeenFps[i + 1], Vexel::FramesPerSecond(dt)) << "frame " << i;
                lastRefresh = sum;
                ++refreshes;
            }
        }
    }
    EXPECT_GE(refreshes, 1);
    EXPECT_GT(app->mFps, 0.0f);
    EXPECT_LE(app->mFps, 101.0f);
}

TEST_F(VexelAppGLTest, FpsStaysUnmeasuredBeforeTheFirstSecond)
{
    auto app = MakeApp<TimingApp>();
    ASSERT_TRUE(app);
    app->mMaxFrames = 5;
    Capture([&] { app->Run(); });
    EXPECT_FALSE(app->mFpsUpdated);
    EXPECT_EQ(app->mFps, 0.0f);
}

TEST_F(VexelAppGLTest, StartUpAndShutdownLogInOrder)
{
    // A fresh process: SDL must come up for the first time.
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            // Only standard error reaches the matcher; the log is on stdout.
            std::fflush(stdout);
            dup2(STDERR_FILENO, STDOUT_FILENO);
            auto* app = new VexelApp(0, nullptr, "Probe", "0.1", 1280, 720, 16.0f / 9.0f, false, 3, 3);
            PushType(SDL_QUIT);
            app->Run();
            delete app;
            std::exit(0);
        },
        ::testing::ExitedWithCode(0),
        "^VexelApp::VexelApp\\(\\)\n"
        "== Probe v\\.0\\.1 ={52}\n"
        "Sdl2OpenglWindow::Sdl2OpenglWindow\\(\\)\n"
        "SDL init was called! \\(flag=33\\)\n"
        "OpenGL vendor:   [^ \n][^\n]*\n"
        "OpenGL renderer: [^ \n][^\n]*\n"
        "OpenGL version:  [0-9]+\\.[0-9]+ \\([^\n]+\\)\n"
        "GLSL version:    [^ \n][^\n]*\n"
        "Sdl2OpenglWindow::SetWindowTitle\\(\\)\n"
        "VexelApp::OperatingSystemQuitEvent\\(\\)\n"
        "VexelApp::Update\\(\\): Non-overridden empty implementation\n"
        "VexelApp::Render\\(\\) const: Non-overridden empty implementation\n"
        "VexelApp::~VexelApp\\(\\)\n"
        "Sdl2OpenglWindow::~Sdl2OpenglWindow\\(\\)\n"
        "SDL quit was called!\n$");
}

namespace {

// Seconds since this process started, from the kernel's record of it.
double SecondsSinceProcessStart()
{
    std::ifstream stat("/proc/self/stat");
    std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Fields after the command name, which is in parentheses and may hold blanks.
    std::istringstream fields(content.substr(content.rfind(')') + 2));
    std::string field;
    unsigned long long startTicks = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 22) {
            startTicks = std::stoull(field);
            break;
        }
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double ticksPerSecond = static_cast<double>(sysconf(_SC_CLK_TCK));
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9 - static_cast<double>(startTicks) / ticksPerSecond;
}

class FirstFrameApp : public ProbeApp
{
public:
    void HandleEvents(double dt, double time) override
    {
        // The second frame begins after the first one's swap and 10 ms sleep.
        if (mFrames == 1) {
            mFirstSwapSeconds = SecondsSinceProcessStart();
            mQuit = true;
        }
        ProbeApp::HandleEvents(dt, time);
    }
    void Update(double, double) override {}
    void Render(double, double) const override {}

    double mFirstSwapSeconds = -1.0;
};

} // namespace

TEST_F(VexelAppGLTest, RecordsTimeFromProcessStartToTheFirstSwappedFrame)
{
    const double beforeApp = SecondsSinceProcessStart();
    auto app = MakeApp<FirstFrameApp>();
    ASSERT_TRUE(app);
    Capture([&] { app->Run(); });
    ASSERT_EQ(app->mFrames, 2);
    ASSERT_GT(app->mFirstSwapSeconds, beforeApp);
    const int total = static_cast<int>(app->mFirstSwapSeconds * 1000.0);
    const int fromApp = static_cast<int>((app->mFirstSwapSeconds - beforeApp) * 1000.0);
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
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    ASSERT_GT(count, 0);
    const struct { bool extensions; std::size_t lines; } cases[] = {{false, 4}, {true, 4 + static_cast<std::size_t>(count)}};
    for (const auto& c : cases) {
        const auto captured = Capture([&] { PrintOpenGlInfo(c.extensions); });
        const auto lines = captured.OutLines();
        ASSERT_EQ(lines.size(), c.lines);
        EXPECT_EQ(lines[0], std::string("OpenGL vendor:   ") + reinterpret_cast<const char*>(glGetString(GL_VENDOR)));
        EXPECT_EQ(lines[1], std::string("OpenGL renderer: ") + reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
        GLint major = 0;
        GLint minor = 0;
        glGetIntegerv(GL_MAJOR_VERSION, &major);
        glGetIntegerv(GL_MINOR_VERSION, &minor);
        EXPECT_EQ(lines[2], "OpenGL version:  " + std::to_string(major) + "." + std::to_string(minor) + " (" +
                                reinterpret_cast<const char*>(glGetString(GL_VERSION)) + ")");
        EXPECT_EQ(lines[3],
                  std::string("GLSL version:    ") + reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION)));
        for (std::size_t i = 4; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i], reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i - 4))));
        }
    }
}
