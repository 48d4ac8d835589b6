#include "CheckGlError.h"
#include "Gl.h"
#include "GlTestFixture.h"
#include "OutputCapture.h"

#include <gtest/gtest.h>

#include <string>

using VexelTest::Capture;

class GlStateGLTest : public VexelTest::GlTestFixture
{
};

namespace {

const std::string InvalidEnumText =
    "GL_INVALID_ENUM: An unacceptable value is specified for an enumerated argument. The offending command is "
    "ignored and has no other side effect than to set the error flag.";

} // namespace

TEST_F(GlStateGLTest, EachCheckTakesOneErrorAndReportsItOnce)
{
    const auto check = [] {
        return Capture([] {
            CheckGlError("", "lib/Vexel/src/Sdl2OpenglWindow.cpp", 49, "Sdl2OpenglWindow::Sdl2OpenglWindow", "");
        }).err;
    };
    EXPECT_EQ(check(), "");
    // Mesa keeps a single error flag, so one provoked error is all there is to take.
    glEnable(0xFFFF);
    EXPECT_EQ(check(), "OpenGL error: " + InvalidEnumText +
                           "\n  Message: \n  in: \"lib/Vexel/src/Sdl2OpenglWindow.cpp\" at line 49\n"
                           "  Sdl2OpenglWindow::Sdl2OpenglWindow\n\n\n");
    EXPECT_EQ(check(), "");
}

TEST_F(GlStateGLTest, ReportWithDynamicIdEndsWithItAndUnknownCodesHaveNoDescription)
{
    glLineWidth(-1.0f);
    EXPECT_EQ(Capture([] { CheckGlError("Could not compile a shader", "f.cpp", -3, "A::B", "x.vert, "); }).err,
              "OpenGL error: GL_INVALID_VALUE: A numeric argument is out of range. The offending command is ignored "
              "and has no other side effect than to set the error flag.\n  Message: Could not compile a shader\n"
              "  in: \"f.cpp\" at line -3\n  A::B\n  Dynamic ID: x.vert, \n\n");
    EXPECT_EQ(Capture([] { Vexel::ReportGlError(GL_INVALID_FRAMEBUFFER_OPERATION, "", "f", 1, "F", ""); }).ErrLines().at(0),
              "OpenGL error: ");
}

TEST_F(GlStateGLTest, MacroReportsCallerLocationAndBuildsTextsOnlyOnError)
{
    int evaluated = 0;
    auto message = [&] { ++evaluated; return std::string("m"); };
    CHECK_GL_ERROR(message(), "");
    EXPECT_EQ(evaluated, 0);

    int line = 0;
    glEnable(0xFFFF);
    const auto captured = Capture([&] {
        line = __LINE__ + 1;
        CHECK_GL_ERROR(message(), "id");
    });
    EXPECT_EQ(evaluated, 1);
    EXPECT_EQ(captured.ErrLines().at(2), "  in: \"tests/GlStateGLTest.cpp\" at line " + std::to_string(line));
}

TEST(FunctionNameTest, StripsReturnTypeAndParametersAlsoAroundTemplates)
{
    EXPECT_EQ(Vexel::FunctionName("Sdl2OpenglWindow::Sdl2OpenglWindow(int, int, float, const QString&, int, int)"),
              "Sdl2OpenglWindow::Sdl2OpenglWindow");
    EXPECT_EQ(Vexel::FunctionName("std::map<int, int> A<B, C>::F(int)"), "A<B, C>::F");
}

TEST_F(GlStateGLTest, BlendModesSetTheirState)
{
    struct Case { Gl::BlendMode mode; GLint enabled; GLint src; GLint dst; GLint equation; };
    const Case cases[] = {
        {Gl::Translucent, GL_TRUE, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD},
        {Gl::Additive, GL_TRUE, GL_SRC_ALPHA, GL_ONE, GL_FUNC_ADD},
        // Opaque keeps the function of the mode before it ...
        {Gl::Opaque, GL_FALSE, GL_SRC_ALPHA, GL_ONE, GL_FUNC_ADD},
        {Gl::Subtractive, GL_TRUE, GL_SRC_ALPHA, GL_ONE, GL_FUNC_SUBTRACT},
        {Gl::ReverseSubtractive, GL_TRUE, GL_SRC_ALPHA, GL_ONE, GL_FUNC_REVERSE_SUBTRACT},
        // ... but not its equation.
        {Gl::Opaque, GL_FALSE, GL_SRC_ALPHA, GL_ONE, GL_FUNC_ADD},
    };
    const auto get = [](GLenum name) {
        GLint value = -1;
        glGetIntegerv(name, &value);
        return value;
    };
    for (const Case& c : cases) {
        Gl::Blend(c.mode);
        EXPECT_EQ(glIsEnabled(GL_BLEND), c.enabled) << c.mode;
        EXPECT_EQ(get(GL_BLEND_SRC_RGB), c.src) << c.mode;
        EXPECT_EQ(get(GL_BLEND_DST_RGB), c.dst) << c.mode;
        EXPECT_EQ(get(GL_BLEND_EQUATION_RGB), c.equation) << c.mode;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // An unknown mode fails its check and leaves the state alone.
    Gl::Blend(Gl::Translucent);
    const auto captured = Capture([] { Gl::Blend(static_cast<Gl::BlendMode>(5)); });
    ASSERT_TRUE(captured.Threw());
    EXPECT_EQ(captured.ErrLines().at(0), "FATAL ERROR: Assertion (false && \"Unknown Blendmode given!\") failed!");
    EXPECT_EQ(captured.ErrLines().at(2), "  in \"lib/Vexel/include/Gl.h\"");
    EXPECT_EQ(glIsEnabled(GL_BLEND), GL_TRUE);
}
