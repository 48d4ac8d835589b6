#include "GlTestFixture.h"
#include "OutputCapture.h"
#include "ShaderProgram.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <string>

using VexelTest::Capture;

namespace {

const QString ShaderDir = VEXEL_DEMO_DIR "/data/shaders/";
const std::string StandardFiles =
    (ShaderDir + "standard.330.vert, " + ShaderDir + "standard.330.frag, ").toStdString();

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return file.fileName();
}

int LiveShaderCount()
{
    int count = 0;
    for (GLuint name = 1; name < 1000; ++name) {
        count += glIsShader(name) == GL_TRUE ? 1 : 0;
    }
    return count;
}

} // namespace

using ShaderProgramGLTest = VexelTest::GlTestFixture;

TEST_F(ShaderProgramGLTest, StandardPairIsSetUpWithOneLookupAndGivenBack)
{
    GLuint names[3] = {};
    {
        ShaderProgram program;
        bool usable = false;
        const auto captured = Capture([&] { usable = SetupStandardShaderProgram(program, ShaderDir); });
        EXPECT_TRUE(usable);
        const GLint tex1 = glGetUniformLocation(program.mHandle, "Tex1");
        EXPECT_EQ(captured.out, "Getting new uniform location \"Tex1\" => " + std::to_string(tex1) + "\n");
        EXPECT_EQ(captured.err, "");
        EXPECT_EQ(program.mShaderFiles.toStdString(), StandardFiles);
        ASSERT_EQ(program.mShaders.size(), 2u);
        names[0] = program.mHandle;
        names[1] = program.mShaders[0]->mHandle;
        names[2] = program.mShaders[1]->mHandle;
        glUseProgram(0);
    }
    // The destructor gives back the program and its shaders.
    EXPECT_EQ(glIsProgram(names[0]), GL_FALSE);
    EXPECT_EQ(glIsShader(names[1]), GL_FALSE);
    EXPECT_EQ(glIsShader(names[2]), GL_FALSE);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderProgramGLTest, UniformLookupsAreCachedOnlyWhenFound)
{
    ShaderProgram program;
    Capture([&] { SetupStandardShaderProgram(program, ShaderDir); });
    float matrix[16];
    for (int i = 0; i < 16; ++i) {
        matrix[i] = static_cast<float>(i) * 0.5f;
    }
    const auto setAll = [&] {
        program.SetUniform1i("Tex1", 3);
        program.SetUniform1f("Alpha", 0.25f);
        program.SetUniformMatrix4fv("MVP", 1, GL_FALSE, matrix);
    };
    Capture(setAll);
    const auto later = Capture(setAll);
    EXPECT_EQ(later.out, "");
    EXPECT_EQ(later.err, "");

    GLint tex1 = -1;
    float alpha = 0.0f;
    float read[16] = {};
    glGetUniformiv(program.mHandle, glGetUniformLocation(program.mHandle, "Tex1"), &tex1);
    glGetUniformfv(program.mHandle, glGetUniformLocation(program.mHandle, "Alpha"), &alpha);
    glGetUniformfv(program.mHandle, glGetUniformLocation(program.mHandle, "MVP"), read);
    EXPECT_EQ(tex1, 3);
    EXPECT_FLOAT_EQ(alpha, 0.25f);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(read[i], matrix[i]) << i;
    }

    // A name the program does not use is asked for, and reported, every time.
    GLuint location = 0;
    const auto missing = Capture([&] {
        program.SetUniform1i("Unused", 1);
        location = program.GetUniformLocation("Unused");
    });
    const std::string report =
        "Could not get uniform for string \"Unused\" => -1\nShader files: " + StandardFiles + "\n";
    EXPECT_EQ(missing.out, report + report);
    EXPECT_EQ(missing.err, "");
    EXPECT_EQ(location, 0xFFFFFFFFu);
}

TEST_F(ShaderProgramGLTest, MisuseLeavesABuiltProgramIntact)
{
    ShaderProgram program;
    Capture([&] { SetupStandardShaderProgram(program, ShaderDir); });
    const GLuint handle = program.mHandle;
    const int shadersBefore = LiveShaderCount();
    ASSERT_EQ(shadersBefore, 2);

    const auto initAgain = Capture([&] { program.Init(); });
    ASSERT_TRUE(initAgain.Threw());
    const auto lines = initAgain.ErrLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Assertion failed!: ShaderProgram was already initialized!");
    EXPECT_EQ(lines[1], "  " + StandardFiles);
    EXPECT_EQ(lines[2], "FATAL ERROR: Assertion (mInitialized == false) failed!");
    EXPECT_EQ(program.mHandle, handle);

    // The expected error line carries the driver's own log for the source.
    const char* broken = "#version 330 core\nout vec4 c;\nvoid main() { c = vec4(1.0) + undeclared; }\n";
    const GLuint probe = glCreateShader(GL_FRAGMENT_SHADER);
    glShaderSource(probe, 1, &broken, nullptr);
    glCompileShader(probe);
    char log[1024] = {};
    glGetShaderInfoLog(probe, sizeof(log), nullptr, log);
    glDeleteShader(probe);
    ASSERT_NE(log[0], '\0');

    QTemporaryDir dir;
    const QString file = WriteFile(dir, "broken.frag", broken);
    bool result = true;
    const auto failed = Capture([&] { result = program.CompileAndAddShaderFromFile(file, Shader::Fragment); });
    EXPECT_FALSE(result);
    EXPECT_EQ(failed.err, "Error compiling shader type Fragment shader: '" + std::string(log) + "'\n" +
                              "Shader::CompileAndAddShaderFromFile(): File \"" + file.toStdString() +
                              "\" could not be compiled!\n");
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(program.mShaders.size(), 2u);
    EXPECT_EQ(program.mShaderFiles.toStdString(), StandardFiles);
    // The shader object of the failed compile was given back.
    EXPECT_EQ(LiveShaderCount(), shadersBefore);
}

TEST_F(ShaderProgramGLTest, FailedLinkIsReported)
{
    QTemporaryDir dir;
    // Compiles, but a program needs a main function to link.
    const QString noMain = WriteFile(dir, "nomain.vert", "#version 330 core\nvoid helper() {}\n");
    ShaderProgram program;
    program.Init();
    ASSERT_TRUE(program.CompileAndAddShaderFromFile(noMain, Shader::Vertex));
    const auto captured = Capture([&] { program.Link(); });
    const std::string prefix = "Error linking shader program (" + noMain.toStdString() + ", ): '";
    EXPECT_EQ(captured.err.rfind(prefix, 0), 0u) << captured.err;
    EXPECT_GT(captured.err.size(), prefix.size() + 3);
    EXPECT_EQ(captured.err.substr(captured.err.size() - 2), "'\n");
}
