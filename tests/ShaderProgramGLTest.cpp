#include "GlTestFixture.h"
#include "OutputCapture.h"
#include "Shader.h"
#include "ShaderProgram.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>
#include <unistd.h>

using VexelTest::Capture;

namespace {

// Shader paths are relative to the demo's folder, as the program runs there.
class InDemoFolder
{
public:
    InDemoFolder()
        : mPrevious(QDir::currentPath())
    {
        QDir::setCurrent(VEXEL_DEMO_DIR);
    }
    ~InDemoFolder() { QDir::setCurrent(mPrevious); }

private:
    QString mPrevious;
};

const QString VertexFile = QString("data/shaders/") + StandardVertexShaderFile;
const QString FragmentFile = QString("data/shaders/") + StandardFragmentShaderFile;

void BuildStandard(ShaderProgram& program)
{
    InDemoFolder demo;
    program.Init();
    ASSERT_TRUE(program.CompileAndAddShaderFromFile(VertexFile, Shader::Vertex));
    ASSERT_TRUE(program.CompileAndAddShaderFromFile(FragmentFile, Shader::Fragment));
    program.Link();
    program.Use();
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return file.fileName();
}

// What the driver says about a source, asked directly.
std::string CompileLog(GLenum type, const char* source)
{
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    char log[1024] = {};
    glGetShaderInfoLog(shader, sizeof(log), nullptr, log);
    glDeleteShader(shader);
    return log;
}

int LiveShaderCount()
{
    int count = 0;
    for (GLuint name = 1; name < 1000; ++name) {
        count += glIsShader(name) == GL_TRUE ? 1 : 0;
    }
    return count;
}

const char* BrokenFragment = "#version 330 core\nout vec4 c;\nvoid main() { c = vec4(1.0) + undeclared; }\n";

} // namespace

class ShaderProgramGLTest : public VexelTest::GlTestFixture
{
};

TEST_F(ShaderProgramGLTest, StandardPairBuildsAndLinksQuietly)
{
    ShaderProgram program;
    const auto captured = Capture([&] { BuildStandard(program); });
    EXPECT_FALSE(captured.Threw());
    EXPECT_EQ(captured.out, "");
    EXPECT_EQ(captured.err, "");
    EXPECT_EQ(program.mShaderFiles, "data/shaders/standard.330.vert, data/shaders/standard.330.frag, ");
    ASSERT_EQ(program.mShaders.size(), 2u);
    EXPECT_EQ(program.mShaders[0]->mFileName, VertexFile);
    EXPECT_EQ(program.mShaders[1]->mFileName, FragmentFile);
    EXPECT_FALSE(program.mShaders[1]->mSource.isEmpty());

    GLint linked = GL_FALSE;
    GLint attached = 0;
    GLint current = 0;
    glGetProgramiv(program.mHandle, GL_LINK_STATUS, &linked);
    glGetProgramiv(program.mHandle, GL_ATTACHED_SHADERS, &attached);
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(linked, GL_TRUE);
    EXPECT_EQ(attached, 2);
    EXPECT_EQ(static_cast<GLuint>(current), program.mHandle);

    // The interface the meshes and parts rely on.
    const struct { const char* name; GLint location; } attributes[] = {
        {"inPosition", 0}, {"inTexCoord", 1}};
    for (const auto& a : attributes) {
        EXPECT_EQ(glGetAttribLocation(program.mHandle, a.name), a.location) << a.name;
    }
    for (const char* uniform : {"MVP", "Tex1", "Alpha"}) {
        EXPECT_NE(glGetUniformLocation(program.mHandle, uniform), -1) << uniform;
    }
    glUseProgram(0);
}

TEST_F(ShaderProgramGLTest, InitTwiceFailsItsCheck)
{
    ShaderProgram program;
    BuildStandard(program);
    const GLuint handle = program.mHandle;
    const auto captured = Capture([&] { program.Init(); });
    ASSERT_TRUE(captured.Threw());
    const auto lines = captured.ErrLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Assertion failed!: ShaderProgram was already initialized!");
    EXPECT_EQ(lines[1], "  data/shaders/standard.330.vert, data/shaders/standard.330.frag, ");
    EXPECT_EQ(lines[2], "FATAL ERROR: Assertion (mInitialized == false) failed!");
    EXPECT_EQ(program.mHandle, handle);
    glUseProgram(0);
}

TEST_F(ShaderProgramGLTest, FailedAddsLeaveTheProgramUnchanged)
{
    QTemporaryDir dir;
    const QString broken = WriteFile(dir, "broken.frag", BrokenFragment);
    const QString empty = WriteFile(dir, "empty.frag", "");
    const std::string log = CompileLog(GL_FRAGMENT_SHADER, BrokenFragment);
    ASSERT_FALSE(log.empty());

    ShaderProgram program;
    BuildStandard(program);
    const int shadersBefore = LiveShaderCount();

    struct Case { QString file; std::string err; };
    const Case cases[] = {
        {broken, "Error compiling shader type Fragment shader: '" + log + "'\n"},
        {empty, "ShaderProgram::LoadShader(): File \"" + empty.toStdString() + "\" is empty!\n"},
        {dir.filePath("none.frag"),
         "Shader::CompileAndAddShaderFromFile(): File \"" + dir.filePath("none.frag").toStdString() +
             "\" does not exist!\n"},
    };
    for (const Case& c : cases) {
        bool result = true;
        const auto captured =
            Capture([&] { result = program.CompileAndAddShaderFromFile(c.file, Shader::Fragment); });
        EXPECT_FALSE(result);
        EXPECT_EQ(captured.err, c.err);
        EXPECT_EQ(captured.out, "");
        EXPECT_EQ(program.mShaders.size(), 2u);
        EXPECT_EQ(program.mShaderFiles, "data/shaders/standard.330.vert, data/shaders/standard.330.frag, ");
    }
    // The shader object of the failed compile was given back with its Shader.
    EXPECT_EQ(LiveShaderCount(), shadersBefore);
    EXPECT_EQ(shadersBefore, 2);
    GLint attached = 0;
    glGetProgramiv(program.mHandle, GL_ATTACHED_SHADERS, &attached);
    EXPECT_EQ(attached, 2);
    glUseProgram(0);
}

TEST_F(ShaderProgramGLTest, UniformLookupsAreCachedOnlyWhenFound)
{
    ShaderProgram program;
    BuildStandard(program);
    const GLint tex1 = glGetUniformLocation(program.mHandle, "Tex1");

    const auto first = Capture([&] { program.SetUniform1i("Tex1", 3); });
    EXPECT_EQ(first.out, "Getting new uniform location \"Tex1\" => " + std::to_string(tex1) + "\n");
    EXPECT_EQ(first.err, "");
    GLint value = -1;
    glGetUniformiv(program.mHandle, tex1, &value);
    EXPECT_EQ(value, 3);

    const auto later = Capture([&] {
        program.SetUniform1i("Tex1", 0);
        EXPECT_EQ(program.GetUniformLocation("Tex1"), static_cast<GLuint>(tex1));
    });
    EXPECT_EQ(later.out, "");
    EXPECT_EQ(later.err, "");
    glGetUniformiv(program.mHandle, tex1, &value);
    EXPECT_EQ(value, 0);

    const std::string missing =
        "Could not get uniform for string \"Unused\" => -1\n"
        "Shader files: data/shaders/standard.330.vert, data/shaders/standard.330.frag, \n";
    for (int call = 0; call < 2; ++call) {
        GLuint location = 0;
        const auto captured = Capture([&] {
            program.SetUniform1i("Unused", 1);
            location = program.GetUniformLocation("Unused");
        });
        EXPECT_EQ(captured.out, missing + missing) << "call " << call;
        EXPECT_EQ(captured.err, "");
        EXPECT_EQ(location, 0xFFFFFFFFu);
    }
    EXPECT_EQ(program.mUniformLocations.size(), 1u);
    EXPECT_EQ(program.mUniformLocations.count("Unused"), 0u);
    glUseProgram(0);
}

TEST_F(ShaderProgramGLTest, FloatAndMatrixSettersReachTheProgram)
{
    ShaderProgram program;
    BuildStandard(program);
    float matrix[16];
    for (int i = 0; i < 16; ++i) {
        matrix[i] = static_cast<float>(i) * 0.5f;
    }
    const auto captured = Capture([&] {
        program.SetUniform1f("Alpha", 0.25f);
        program.SetUniformMatrix4fv("MVP", 1, GL_FALSE, matrix);
    });
    EXPECT_EQ(captured.OutLines().size(), 2u);
    EXPECT_EQ(captured.err, "");

    float alpha = 0.0f;
    float read[16] = {};
    glGetUniformfv(program.mHandle, glGetUniformLocation(program.mHandle, "Alpha"), &alpha);
    glGetUniformfv(program.mHandle, glGetUniformLocation(program.mHandle, "MVP"), read);
    EXPECT_FLOAT_EQ(alpha, 0.25f);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(read[i], matrix[i]) << i;
    }
    glUseProgram(0);
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

TEST_F(ShaderProgramGLTest, DestructorGivesBackProgramAndShaders)
{
    GLuint programHandle = 0;
    GLuint shaderHandles[2] = {};
    {
        ShaderProgram program;
        BuildStandard(program);
        programHandle = program.mHandle;
        shaderHandles[0] = program.mShaders[0]->mHandle;
        shaderHandles[1] = program.mShaders[1]->mHandle;
        glUseProgram(0);
    }
    EXPECT_EQ(glIsProgram(programHandle), GL_FALSE);
    EXPECT_EQ(glIsShader(shaderHandles[0]), GL_FALSE);
    EXPECT_EQ(glIsShader(shaderHandles[1]), GL_FALSE);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
