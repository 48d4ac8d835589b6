#include "GlTestFixture.h"

#include "XvfbServer.h"

namespace VexelTest {

SDL_Window* GlTestFixture::sWindow = nullptr;
SDL_GLContext GlTestFixture::sContext = nullptr;

::testing::AssertionResult PixelNear(const Rgba& actual, const Rgba& expected, int tolerance)
{
    auto near = [tolerance](int a, int b) { return a - b <= tolerance && b - a <= tolerance; };
    if (near(actual.r, expected.r) && near(actual.g, expected.g) && near(actual.b, expected.b)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "pixel (" << actual.r << ", " << actual.g << ", " << actual.b << ") is not within "
           << tolerance << " of (" << expected.r << ", " << expected.g << ", " << expected.b << ")";
}

void GlTestFixture::SetUpTestSuite()
{
}

void GlTestFixture::CreateContext()
{
    if (sContext != nullptr) {
        return;
    }
    EnsureDisplay();
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    sWindow = SDL_CreateWindow("vexel gl test", 0, 0, Width, Height, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    ASSERT_NE(sWindow, nullptr) << SDL_GetError();
    sContext = SDL_GL_CreateContext(sWindow);
    ASSERT_NE(sContext, nullptr) << SDL_GetError();
    glewExperimental = GL_TRUE;
    ASSERT_EQ(glewInit(), static_cast<GLenum>(GLEW_OK));
    DrainGlErrors();
}

void GlTestFixture::TearDownTestSuite()
{
    if (sContext != nullptr) {
        SDL_GL_DeleteContext(sContext);
        sContext = nullptr;
    }
    if (sWindow != nullptr) {
        SDL_DestroyWindow(sWindow);
        sWindow = nullptr;
    }
    SDL_Quit();
}

void GlTestFixture::SetUp()
{
    // Made here rather than per suite: a failed suite set-up only marks the
    // tests skipped, and a broken context must fail them.
    CreateContext();
    ASSERT_NE(sContext, nullptr) << "no GL context";
    SDL_GL_MakeCurrent(sWindow, sContext);
    glViewport(0, 0, Width, Height);
    DrainGlErrors();
}

Rgba GlTestFixture::ReadPixel(int x, int yFromTop)
{
    unsigned char pixel[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, Height - 1 - yFromTop, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    return Rgba{pixel[0], pixel[1], pixel[2], pixel[3]};
}

void GlTestFixture::DrainGlErrors()
{
    for (int i = 0; i < 100 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

} // namespace VexelTest
