#include "AssertException.h"
#include "OutputCapture.h"
#include "Shader.h"
#include "ShaderProgram.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

using VexelTest::Capture;

namespace {

// The text of one line of a repository file, for checking where a report points.
std::string SourceLine(const std::string& relativePath, int line)
{
    std::ifstream file(std::string(VEXEL_SOURCE_DIR) + "/" + relativePath);
    std::string text;
    for (int i = 0; i < line && std::getline(file, text); ++i) {
    }
    return text;
}

} // namespace

// None of these touch GL, so they need no display.
TEST(ShaderTest, FileProblemsAreReportedWithoutCompiling)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
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
        EXPECT_TRUE(captured.out.empty());
        EXPECT_EQ(shader.mHandle, 0u) << c.err;
        EXPECT_TRUE(shader.mFileName.isEmpty()) << c.err;
    }
}

TEST(ShaderTest, TypeNamesAndValues)
{
    EXPECT_EQ(Shader::Vertex, GL_VERTEX_SHADER);
    EXPECT_EQ(Shader::Fragment, GL_FRAGMENT_SHADER);
    EXPECT_EQ(Shader::Geometry, GL_GEOMETRY_SHADER);
    EXPECT_EQ(Shader::GetShaderTypeName(Shader::Vertex), "Vertex shader");
    EXPECT_EQ(Shader::GetShaderTypeName(Shader::Fragment), "Fragment shader");
    EXPECT_EQ(Shader::GetShaderTypeName(Shader::Geometry), "Geometry shader");
    EXPECT_EQ(Shader::GetShaderTypeName(static_cast<Shader::ShaderType>(GL_COMPUTE_SHADER)), "Unknown!");
}

TEST(ShaderTest, StandardPairNames)
{
    EXPECT_EQ(std::string(StandardVertexShaderFile), "standard.330.vert");
    EXPECT_EQ(std::string(StandardFragmentShaderFile), "standard.330.frag");
    // The names callers build from the shader folder.
    EXPECT_EQ(QString("data/shaders/") + StandardVertexShaderFile, "data/shaders/standard.330.vert");
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
        EXPECT_TRUE(captured.out.empty()) << c.function;
        const auto lines = captured.ErrLines();
        ASSERT_EQ(lines.size(), 6u) << captured.err;
        EXPECT_EQ(lines[0], "Assertion failed!: ShaderProgram wasn't yet initialized!");
        EXPECT_EQ(lines[1], "  " + c.detail);
        EXPECT_EQ(lines[2], "FATAL ERROR: Assertion (mInitialized == true) failed!");
        EXPECT_NE(lines[3].find(c.function), std::string::npos) << lines[3];
        EXPECT_EQ(lines[4], "  in \"lib/Vexel/src/ShaderProgram.cpp\"");

        try {
            std::rethrow_exception(captured.exception);
        } catch (const AssertException& e) {
            const std::string source = SourceLine("lib/Vexel/src/ShaderProgram.cpp", e.line);
            EXPECT_NE(source.find("ASSERT_MSG(mInitialized == true"), std::string::npos) << c.function << ": "
                                                                                         << source;
            EXPECT_EQ(lines[5], "  at line " + std::to_string(e.line));
        }
        EXPECT_FALSE(program.mInitialized);
        EXPECT_TRUE(program.mShaders.empty());
        EXPECT_TRUE(program.mUniformLocations.empty());
    }
}
