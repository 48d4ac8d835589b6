#include "OutputCapture.h"
#include "Shader.h"
#include "ShaderProgram.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <string>

using VexelTest::Capture;

// None of these touch GL, so they need no display.
TEST(ShaderTest, FileProblemsAreReportedWithoutCompiling)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.vert");
    const QString empty = dir.filePath("empty.frag");
    const QString folder = dir.filePath("folder.vert");
    QFile emptyFile(empty);
    ASSERT_TRUE(emptyFile.open(QIODevice::WriteOnly));
    emptyFile.close();
    ASSERT_TRUE(QDir().mkdir(folder));

    struct Case { QString file; std::string err; };
    const Case cases[] = {
        {missing, "Shader::CompileAndAddShaderFromFile(): File \"" + missing.toStdString() + "\" does not exist!\n"},
        {empty, "ShaderProgram::LoadShader(): File \"" + empty.toStdString() + "\" is empty!\n"},
        {folder, "ShaderProgram::LoadShader(): Cannot open file \"" + folder.toStdString() + "\"!\n"},
    };
    for (const Case& c : cases) {
        Shader shader;
        bool result = true;
        const auto captured = Capture([&] { result = shader.CompileAndAddShaderFromFile(c.file, Shader::Vertex); });
        EXPECT_FALSE(result) << c.err;
        EXPECT_EQ(captured.err, c.err);
        EXPECT_EQ(captured.out, "");
    }
}

TEST(ShaderProgramTest, EveryOperationBeforeInitFailsItsCheck)
{
    const float matrix[16] = {};
    struct Case { const char* function; std::function<void(ShaderProgram&)> call; std::string detail; };
    const Case cases[] = {
        {"ShaderProgram::CompileAndAddShaderFromFile",
         [](ShaderProgram& p) { p.CompileAndAddShaderFromFile("x.vert", Shader::Vertex); }, "x.vert"},
        {"ShaderProgram::Link", [](ShaderProgram& p) { p.Link(); }, ""},
        {"ShaderProgram::Use", [](ShaderProgram& p) { p.Use(); }, ""},
        {"ShaderProgram::GetUniformLocation", [](ShaderProgram& p) { p.GetUniformLocation("MVP"); }, ""},
        {"ShaderProgram::SetUniform1f", [](ShaderProgram& p) { p.SetUniform1f("Alpha", 1.0f); }, ""},
        {"ShaderProgram::SetUniform1i", [](ShaderProgram& p) { p.SetUniform1i("Tex1", 0); }, ""},
        {"ShaderProgram::SetUniformMatrix4fv",
         [&matrix](ShaderProgram& p) { p.SetUniformMatrix4fv("MVP", 1, GL_FALSE, matrix); }, ""},
    };
    for (const Case& c : cases) {
        ShaderProgram program;
        const auto captured = Capture([&] { c.call(program); });
        ASSERT_TRUE(captured.Threw()) << c.function;
        EXPECT_EQ(captured.out, "") << c.function;
        const auto lines = captured.ErrLines();
        ASSERT_EQ(lines.size(), 6u) << captured.err;
        EXPECT_EQ(lines[0], "Assertion failed!: ShaderProgram wasn't yet initialized!");
        EXPECT_EQ(lines[1], "  " + c.detail);
        EXPECT_EQ(lines[2], "FATAL ERROR: Assertion (mInitialized == true) failed!");
        EXPECT_NE(lines[3].find(c.function), std::string::npos) << lines[3];
        EXPECT_EQ(lines[4], "  in \"lib/Vexel/src/ShaderProgram.cpp\"");
        EXPECT_EQ(lines[5].rfind("  at line ", 0), 0u) << lines[5];
    }
}
