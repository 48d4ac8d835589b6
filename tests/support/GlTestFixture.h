#pragma once

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

namespace VexelTest {

struct Rgba
{
    int r = 0;
    int g = 0;
    int b = 0;
    int a = 0;
};

// Pure colours as the parts' pictures read back, with alpha 0.
namespace Colours {
inline constexpr Rgba Black{0, 0, 0};
inline constexpr Rgba Red{255, 0, 0};
inline constexpr Rgba Green{0, 255, 0};
inline constexpr Rgba Blue{0, 0, 255};
inline constexpr Rgba Yellow{255, 255, 0};
inline constexpr Rgba Magenta{255, 0, 255};
inline constexpr Rgba Cyan{0, 255, 255};
} // namespace Colours

::testing::AssertionResult PixelNear(const Rgba& actual, const Rgba& expected, int tolerance = 3);

// A visible 1280x720 window with an OpenGL 3.3 core context and GLEW, shared
// by the tests of one suite. Starts a private Xvfb when there is no display.
class GlTestFixture : public ::testing::Test
{
public:
    static constexpr int Width = 1280;
    static constexpr int Height = 720;

protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    // Reads the back buffer; y counts from the top of the window.
    static Rgba ReadPixel(int x, int yFromTop);
    static void DrainGlErrors();
    static void CreateContext();

    static SDL_Window* sWindow;
    static SDL_GLContext sContext;
};

} // namespace VexelTest
