#include "Sdl2OpenglWindow.h"

#include "GlTestFixture.h"
#include "OutputCapture.h"
#include "XvfbServer.h"

#include <GL/glew.h>
#include <QTextCodec>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;

// The window under test makes its own context; only the fixture's pixel
// reader is borrowed.
class Sdl2OpenglWindowGLTest : public VexelTest::GlTestFixture
{
protected:
    void SetUp() override { VexelTest::EnsureDisplay(); }
    // A failed construction leaves SDL up through the start-up wrapper.
    void TearDown() override { ResetSdl(); }
    static void ResetSdl()
    {
        SDL_Quit();
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("SDL_VIDEO_X11_FORCE_EGL");
    }
};

TEST_F(Sdl2OpenglWindowGLTest, OpensFullscreenCoreContextWithRedClearAndHiddenCursor)
{
    // Latin-1 as the local encoding, so that it differs from UTF-8.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    std::unique_ptr<Sdl2OpenglWindow> window;
    const auto created = Capture([&] {
        window = std::make_unique<Sdl2OpenglWindow>(1280, 720, 16.0f / 9.0f,
                                                    QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e - loading..."), 3, 3);
    });
    ASSERT_FALSE(created.Threw()) << created.err;
    EXPECT_EQ(created.OutLines().at(0), "Sdl2OpenglWindow::Sdl2OpenglWindow()");
    EXPECT_EQ(created.err, "") << "no GL error is reported while the window opens";
    EXPECT_STREQ(SDL_GetWindowTitle(window->mWindow), "Gr\xFC\xDF" "e - loading...");
    EXPECT_NE(SDL_GetWindowFlags(window->mWindow) & SDL_WINDOW_FULLSCREEN, 0u);
    int width = 0, height = 0;
    SDL_GetWindowSize(window->mWindow, &width, &height);
    EXPECT_TRUE(width == 1280 && height == 720) << width << "x" << height;
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);

    EXPECT_EQ(SDL_GL_GetCurrentContext(), window->mContext);
    GLint major = 0, minor = 0, profile = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    EXPECT_GE(major * 10 + minor, 33);
    EXPECT_NE(profile & GL_CONTEXT_CORE_PROFILE_BIT, 0);

    GLfloat clear[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(std::vector<GLfloat>(clear, clear + 4), (std::vector<GLfloat>{1.0f, 0.0f, 0.0f, 0.0f}));
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(640, 360), {255, 0, 0, 0}));

    // Logged on every call, also when nothing changes.
    const auto retitled = Capture([&] {
        window->SetWindowTitle(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e"));
        window->SetWindowTitle(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e"));
    });
    QTextCodec::setCodecForLocale(nullptr);
    EXPECT_EQ(retitled.OutLines(), std::vector<std::string>(2, "Sdl2OpenglWindow::SetWindowTitle()"));
    EXPECT_STREQ(SDL_GetWindowTitle(window->mWindow), "Gr\xFC\xDF" "e");

    const auto destroyed = Capture([&] { window.reset(); });
    EXPECT_EQ(destroyed.OutLines(), std::vector<std::string>{"Sdl2OpenglWindow::~Sdl2OpenglWindow()"});
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "destruction shuts SDL down";
}

TEST_F(Sdl2OpenglWindowGLTest, FailuresReportSdlsReasonAndThrow)
{
    struct Case { const char* name; const char* variable; const char* value; int major; int minor; std::string prefix; };
    const Case cases[] = {
        // SDL's dummy video driver has no OpenGL.
        {"window", "SDL_VIDEODRIVER", "dummy", 3, 3, "ERROR: Could not create window: "},
        {"context", nullptr, nullptr, 9, 9, "ERROR: Could not create OpenGL context: "},
    };
    for (const Case& c : cases) {
        if (c.variable != nullptr) {
            setenv(c.variable, c.value, 1);
        }
        const auto captured = Capture([&] { Sdl2OpenglWindow window(1280, 720, 1.0f, "t", c.major, c.minor); });
        ASSERT_TRUE(captured.Threw()) << c.name;
        const std::string what = captured.What();
        EXPECT_EQ(what.substr(0, c.prefix.size()), c.prefix) << c.name;
        EXPECT_GT(what.size(), c.prefix.size()) << c.name << ": the reason follows";
        EXPECT_EQ(captured.err, what + "\n") << c.name;
        EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr) << c.name;
        ResetSdl();
    }
}

TEST_F(Sdl2OpenglWindowGLTest, AnEglContextWithoutGlxStillGetsTheGlEntryPoints)
{
    // GLEW stops at its GLX part there, after loading what the engine calls.
    for (const char* variable : {"SDL_VIDEO_X11_FORCE_EGL", "SDL_VIDEODRIVER"}) {
        setenv(variable, std::string(variable) == "SDL_VIDEODRIVER" ? "offscreen" : "1", 1);
        const auto created = Capture([&] {
            Sdl2OpenglWindow window(64, 64, 1.0f, "t", 3, 3, WindowPlacement{WindowPlacement::Hidden, 0, 0});
            GLuint buffer = 0;
            glGenBuffers(1, &buffer);
            EXPECT_NE(buffer, 0u) << variable;
            glDeleteBuffers(1, &buffer);
        });
        EXPECT_FALSE(created.Threw()) << variable << ": " << created.err;
        ResetSdl();
    }
}
