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
const std::string InvalidValueText =
    "GL_INVALID_VALUE: A numeric argument is out of range. The offending command is ignored and has no other side "
    "effect than to set the error flag.";

GLint GetInt(GLenum name)
{
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

} // namespace

TEST_F(GlStateGLTest, NoErrorWritesNothing)
{
    const auto captured = Capture([] { CheckGlError("msg", "file", 1, "Fn", "id"); });
    EXPECT_TRUE(captured.out.empty());
    EXPECT_TRUE(captured.err.empty());
}

TEST_F(GlStateGLTest, ReportWithoutDynamicId)
{
    glEnable(0xFFFF); // GL_INVALID_ENUM
    const auto captured = Capture([] {
        CheckGlError("", "lib/Vexel/src/Sdl2OpenglWindow.cpp", 49, "Sdl2OpenglWindow::Sdl2OpenglWindow", "");
    });
    EXPECT_EQ(captured.err, "OpenGL error: " + InvalidEnumText +
                                "\n  Message: \n  in: \"lib/Vexel/src/Sdl2OpenglWindow.cpp\" at line 49\n"
                                "  Sdl2OpenglWindow::Sdl2OpenglWindow\n\n\n");
}

TEST_F(GlStateGLTest, ReportWithDynamicIdEndsWithIt)
{
    glLineWidth(-1.0f); // GL_INVALID_VALUE
    const auto captured = Capture([] { CheckGlError("Could not compile a shader", "f.cpp", -3, "A::B", "x.vert, "); });
    EXPECT_EQ(captured.err, "OpenGL error: " + InvalidValueText +
                                "\n  Message: Could not compile a shader\n  in: \"f.cpp\" at line -3\n  A::B\n"
                                "  Dynamic ID: x.vert, \n\n");
}

TEST_F(GlStateGLTest, UnknownCodeHasEmptyDescription)
{
    const auto captured = Capture([] {
        Vexel::ReportGlError(GL_INVALID_FRAMEBUFFER_OPERATION, "", "f", 1, "F", "");
    });
    EXPECT_EQ(VexelTest::SplitLines(captured.err).at(0), "OpenGL error: ");
}

TEST_F(GlStateGLTest, TakesOneErrorPerCall)
{
    // Mesa keeps a single error flag, so one provoked error is all there is
    // to take: the first check reports it, the next finds nothing.
    glEnable(0xFFFF);
    const auto first = Capture([] { CheckGlError("", "f", 1, "F", ""); });
    const auto second = Capture([] { CheckGlError("", "f", 2, "F", ""); });
    EXPECT_EQ(VexelTest::SplitLines(first.err).at(0), "OpenGL error: " + InvalidEnumText);
    EXPECT_TRUE(second.err.empty());
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
    const auto lines = VexelTest::SplitLines(captured.err);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[2], "  in: \"tests/GlStateGLTest.cpp\" at line " + std::to_string(line));
    EXPECT_EQ(lines[4], "  Dynamic ID: id");
}

TEST(FunctionNameTest, StripsReturnTypeAndParameters)
{
    EXPECT_EQ(Vexel::FunctionName("void ShaderProgram::Use() const"), "ShaderProgram::Use");
    EXPECT_EQ(Vexel::FunctionName("Sdl2OpenglWindow::Sdl2OpenglWindow(int, int, float, const QString&, int, int)"),
              "Sdl2OpenglWindow::Sdl2OpenglWindow");
    EXPECT_EQ(Vexel::FunctionName("bool Shader::CompileAndAddShaderFromString(const QString&, Shader::ShaderType)"),
              "Shader::CompileAndAddShaderFromString");
    EXPECT_EQ(Vexel::FunctionName("std::map<int, int> A<B, C>::F(int)"), "A<B, C>::F");
}

TEST_F(GlStateGLTest, BlendModesSetTheirState)
{
    struct Case { Gl::BlendMode mode; GLint enabled; GLint src; GLint dst; GLint equation; };
    const Case cases[] = {
        {Gl::Translucent, GL_TRUE, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD},
        {Gl::Additive, GL_TRUE, GL_SRC_ALPHA, GL_ONE, GL_FUNC_ADD},
        {Gl::Subtractive, GL_TRUE, GL_SRC_ALPHA, GL_ONE, GL_FUNC_SUBTRACT},
        {Gl::ReverseSubtractive, GL_TRUE, GL_SRC_ALPHA, GL_ONE, GL_FUNC_REVERSE_SUBTRACT},
        // Opaque after the additive-style modes keeps their function.
        {Gl::Opaque, GL_FALSE, GL_SRC_ALPHA, GL_ONE, GL_FUNC_ADD},
        {Gl::Additive, GL_TRUE, GL_SRC_ALPHA, GL_ONE, GL_FUNC_ADD},
        {Gl::Opaque, GL_FALSE, GL_SRC_ALPHA, GL_ONE, GL_FUNC_ADD},
    };
    for (const Case& c : cases) {
        Gl::Blend(c.mode);
        EXPECT_EQ(glIsEnabled(GL_BLEND), c.enabled) << c.mode;
        EXPECT_EQ(GetInt(GL_BLEND_SRC_RGB), c.src) << c.mode;
        EXPECT_EQ(GetInt(GL_BLEND_DST_RGB), c.dst) << c.mode;
        EXPECT_EQ(GetInt(GL_BLEND_EQUATION_RGB), c.equation) << c.mode;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GlStateGLTest, UnknownBlendModeFailsItsCheckWithoutGlCalls)
{
    Gl::Blend(Gl::Translucent);
    const auto captured = Capture([] { Gl::Blend(static_cast<Gl::BlendMode>(5)); });
    ASSERT_TRUE(captured.Threw());
    EXPECT_EQ(captured.ErrLines().at(0), "FATAL ERROR: Assertion (false && \"Unknown Blendmode given!\") failed!");
    EXPECT_EQ(captured.ErrLines().at(2), "  in \"lib/Vexel/include/Gl.h\"");
    EXPECT_EQ(glIsEnabled(GL_BLEND), GL_TRUE);
}

TEST_F(GlStateGLTest, ClearAndReadBack)
{
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(10, 10), {0, 255, 0, 255}));
}
