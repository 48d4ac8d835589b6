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

using VexelTest::Capture;

namespace {

VexelTest::Rgba ReadBackPixel(int x, int y)
{
    unsigned char pixel[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    return VexelTest::Rgba{pixel[0], pixel[1], pixel[2], pixel[3]};
}

// A failed construction leaves SDL up through the start-up wrapper; the next
// test starts from a clean state.
void ResetSdl()
{
    SDL_Quit();
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("SDL_VIDEO_X11_FORCE_EGL");
}

} // namespace

class Sdl2OpenglWindowGLTest : public ::testing::Test
{
protected:
    void SetUp() override { VexelTest::EnsureDisplay(); }
    void TearDown() override { ResetSdl(); }
};

TEST_F(Sdl2OpenglWindowGLTest, OpensFullscreenCoreContextWithRedClearAndHiddenCursor)
{
    // Latin-1 as the local encoding, so that it differs from UTF-8.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    const QString title = QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e v.1 - loading...");
    std::unique_ptr<Sdl2OpenglWindow> window;
    const auto created = Capture([&] { window = std::make_unique<Sdl2OpenglWindow>(1280, 720, 16.0f / 9.0f, title, 3, 3); });
    ASSERT_FALSE(created.Threw()) << created.err;
    EXPECT_EQ(created.OutLines().at(0), "Sdl2OpenglWindow::Sdl2OpenglWindow()");
    EXPECT_EQ(created.OutLines().at(1).rfind("SDL ", 0), 0u) << "the start-up wrapper brings SDL up";
    EXPECT_EQ(created.err, "") << "no GL error is reported while the window opens";

    EXPECT_EQ(window->mWidth, 1280);
    EXPECT_EQ(window->mHeight, 720);
    EXPECT_EQ(window->mAspectRatio, 16.0f / 9.0f);
    EXPECT_EQ(window->mTitle, title);
    EXPECT_STREQ(SDL_GetWindowTitle(window->mWindow), "Gr\xFC\xDF" "e v.1 - loading...");
    EXPECT_NE(SDL_GetWindowFlags(window->mWindow) & SDL_WINDOW_FULLSCREEN, 0u);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window->mWindow, &width, &height);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);

    EXPECT_EQ(SDL_GL_GetCurrentContext(), window->mContext);
    GLint major = 0;
    GLint minor = 0;
    GLint profile = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    EXPECT_GE(major * 10 + minor, 33);
    EXPECT_NE(profile & GL_CONTEXT_CORE_PROFILE_BIT, 0);

    GLfloat clear[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 1.0f);
    EXPECT_EQ(clear[1], 0.0f);
    EXPECT_EQ(clear[2], 0.0f);
    EXPECT_EQ(clear[3], 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(VexelTest::PixelNear(ReadBackPixel(640, 360), {255, 0, 0, 0}));
    EXPECT_TRUE(VexelTest::PixelNear(ReadBackPixel(0, 719), {255, 0, 0, 0}));

    // Logged on every call, also when nothing changes.
    const QString final = QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e v.1");
    const auto retitled = Capture([&] {
        window->SetWindowTitle(final);
        window->SetWindowTitle(final);
        window->SwapBuffers();
    });
    QTextCodec::setCodecForLocale(nullptr);
    EXPECT_EQ(retitled.OutLines(), (std::vector<std::string>{"Sdl2OpenglWindow::SetWindowTitle()",
                                                              "Sdl2OpenglWindow::SetWindowTitle()"}));
    EXPECT_EQ(window->mTitle, final);
    EXPECT_STREQ(SDL_GetWindowTitle(window->mWindow), "Gr\xFC\xDF" "e v.1");

    const auto destroyed = Capture([&] { window.reset(); });
    EXPECT_EQ(destroyed.OutLines(), std::vector<std::string>{"Sdl2OpenglWindow::~Sdl2OpenglWindow()"});
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "destruction shuts SDL down";
}

TEST_F(Sdl2OpenglWindowGLTest, FailuresReportSdlsOrGlewsReasonAndThrow)
{
    struct Case { const char* name; const char* variable; const char* value; int major; int minor; std::string prefix; };
    const Case cases[] = {
        // SDL's dummy video driver has no OpenGL.
        {"window", "SDL_VIDEODRIVER", "dummy", 3, 3, "ERROR: Could not create window: "},
        {"context", nullptr, nullptr, 9, 9, "ERROR: Could not create OpenGL context: "},
        // An EGL context leaves GLEW's GLX loader without a display.
        {"glew", "SDL_VIDEO_X11_FORCE_EGL", "1", 3, 3, "ERROR: Could not init GLEW: "},
    };
    for (const Case& c : cases) {
        if (c.variable != nullptr) {
            setenv(c.variable, c.value, 1);
        }
        std::unique_ptr<Sdl2OpenglWindow> window;
        const auto captured = Capture([&] { window = std::make_unique<Sdl2OpenglWindow>(1280, 720, 1.0f, "t", c.major, c.minor); });
        ASSERT_TRUE(captured.Threw()) << c.name;
        const std::string what = captured.What();
        EXPECT_EQ(what.substr(0, c.prefix.size()), c.prefix) << c.name;
        EXPECT_GT(what.size(), c.prefix.size()) << c.name << ": the reason follows";
        EXPECT_EQ(captured.err, what + "\n") << c.name;
        EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr) << c.name;
        ResetSdl();
    }
}
