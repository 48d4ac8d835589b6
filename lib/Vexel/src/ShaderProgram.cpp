#include "ShaderProgram.h"

#include "AssertException.h"
#include "CheckGlError.h"
#include "ProgramCache.h"
#include "StandardShaders.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

ShaderProgram::ShaderProgram()
    : mInitialized(false)
    , mHandle(0)
{
}

ShaderProgram::~ShaderProgram()
{
    if (mShared) {
        // The program that built the GL object gives it back.
        return;
    }
    for (Shader* shader : mShaders) {
        glDetachShader(mHandle, shader->mHandle);
        CHECK_GL_ERROR("", mShaderFiles.toStdString());
    }
    for (Shader* shader : mShaders) {
        delete shader;
    }
    mShaders.clear();
    if (mInitialized) {
        // A program in use is only flagged for deletion; whoever saved it as
        // the current one (the player's overlay does) would later make a
        // program current that is gone by then.
        GLint current = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
        if (static_cast<GLuint>(current) == mHandle) {
            glUseProgram(0);
        }
        glDeleteProgram(mHandle);
        CHECK_GL_ERROR("", mShaderFiles.toStdString());
    }
}

void ShaderProgram::Init()
{
    ASSERT_MSG(mInitialized == false, "ShaderProgram was already initialized!", mShaderFiles);
    mHandle = glCreateProgram();
    CHECK_GL_ERROR("", mShaderFiles.toStdString());
    mInitialized = true;
}

bool ShaderProgram::CompileAndAddShaderFromFile(const QString& fileName, Shader::ShaderType type)
{
    ASSERT_MSG(mInitialized == true, "ShaderProgram wasn't yet initialized!", fileName);
    Shader* shader = new Shader();
    if (!shader->CompileAndAddShaderFromFile(fileName, type)) {
        delete shader;
        return false;
    }
    mShaderFiles += fileName + QStringLiteral(", ");
    glAttachShader(mHandle, shader->mHandle);
    CHECK_GL_ERROR("", mShaderFiles.toStdString());
    mShaders.push_back(shader);
    return true;
}

void ShaderProgram::Link() const
{
    ASSERT_MSG(mInitialized == true, "ShaderProgram wasn't yet initialized!", mShaderFiles);
    glLinkProgram(mHandle);
    CHECK_GL_ERROR("", mShaderFiles.toStdString());

    // Without this a failed link would only surface as errors of later calls
    // that say nothing about the cause.
    GLint status = GL_TRUE;
    if (mHandle != 0) {
        glGetProgramiv(mHandle, GL_LINK_STATUS, &status);
    }
    if (status != GL_TRUE) {
        char linkLog[1024] = {};
        glGetProgramInfoLog(mHandle, sizeof(linkLog), nullptr, linkLog);
        std::cerr << "Error linking shader program (" << mShaderFiles.toStdString() << "): '" << linkLog << "'"
                  << std::endl;
    }
}

void ShaderProgram::Use() const
{
    ASSERT_MSG(mInitialized == true, "ShaderProgram wasn't yet initialized!", mShaderFiles);
    glUseProgram(mHandle);
    CHECK_GL_ERROR("", mShaderFiles.toStdString());
}

GLuint ShaderProgram::GetUniformLocation(const QString& name)
{
    ASSERT_MSG(mInitialized == true, "ShaderProgram wasn't yet initialized!", mShaderFiles);
    const auto cached = mUniformLocations.find(name);
    if (cached != mUniformLocations.end()) {
        return static_cast<GLuint>(cached->second);
    }

    const GLint location = glGetUniformLocation(mHandle, name.toLocal8Bit().constData());
    if (location == -1) {
        std::cout << "Could not get uniform for string \"" << name.toStdString() << "\" => " << location
                  << std::endl;
        std::cout << "Shader files: " << mShaderFiles.toStdString() << std::endl;
        CHECK_GL_ERROR("Could not get uniform for string \"" + name.toStdString() + "\"",
                       mShaderFiles.toStdString());
        return 0xFFFFFFFFu;
    }
    CHECK_GL_ERROR("", mShaderFiles.toStdString());
    std::cout << "Getting new uniform location \"" << name.toStdString() << "\" => " << location << std::endl;
    mUniformLocations[name] = location;
    return static_cast<GLuint>(location);
}

namespace {

std::string SetUniformFailedMessage(const QString& name, GLuint handle, GLuint location)
{
    return "ERROR: Could not set shader uniform for \"" + name.toStdString() + "\" (handle=" +
           std::to_string(handle) + ") (uniformLocation=" + std::to_string(location) + ")";
}

} // namespace

void ShaderProgram::SetUniform1f(const QString& name, float value)
{
    ASSERT_MSG(mInitialized == true, "ShaderProgram wasn't yet initialized!", mShaderFiles);
    const GLuint location = GetUniformLocation(name);
    CHECK_GL_ERROR("", mShaderFiles.toStdString());
    glUniform1f(static_cast<GLint>(location), value);
    CHECK_GL_ERROR("", mShaderFiles.toStdString());
}

void ShaderProgram::SetUniform1i(const QString& name, int value)
{
    ASSERT_MSG(mInitialized == true, "ShaderProgram wasn't yet initialized!", mShaderFiles);
    const GLuint location = GetUniformLocation(name);
    CHECK_GL_ERROR("", mShaderFiles.toStdString());
    glUniform1i(static_cast<GLint>(location), value);
    CHECK_GL_ERROR("ERROR: Could not get shader uniform location for name(\"" + name.toStdString() +
                       "\") in shaderProgram(handle=" + std::to_string(mHandle) + ")",
                   mShaderFiles.toStdString());
    // Makes no GL call: catches only an error still pending after the first check.
    CHECK_GL_ERROR(SetUniformFailedMessage(name, mHandle, location), mShaderFiles.toStdString());
}

void ShaderProgram::SetUniformMatrix4fv(const QString& name, int count, unsigned char transpose,
                                        const float* values)
{
    ASSERT_MSG(mInitialized == true, "ShaderProgram wasn't yet initialized!", mShaderFiles);
    const GLuint location = GetUniformLocation(name);
    CHECK_GL_ERROR("", mShaderFiles.toStdString());
    glUniformMatrix4fv(static_cast<GLint>(location), count, transpose, values);
    CHECK_GL_ERROR("", mShaderFiles.toStdString());
    CHECK_GL_ERROR(SetUniformFailedMessage(name, mHandle, location), mShaderFiles.toStdString());
}

int ShaderProgram::ReportMissingStandardInputs() const
{
    static const struct
    {
        GLint location;
        const char* meaning;
    } StandardAttributes[] = {{0, "position"}, {1, "texture coordinate"}};
    static const char* const StandardUniforms[] = {"MVP", "Tex1", "Alpha"};

    ASSERT_MSG(mInitialized == true, "ShaderProgram wasn't yet initialized!", mShaderFiles);
    const std::string files = mShaderFiles.toStdString();
    int missing = 0;

    GLint attributeCount = 0;
    glGetProgramiv(mHandle, GL_ACTIVE_ATTRIBUTES, &attributeCount);
    std::vector<GLint> locations;
    for (GLint i = 0; i < attributeCount; ++i) {
        char name[256] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveAttrib(mHandle, static_cast<GLuint>(i), sizeof(name), nullptr, &size, &type, name);
        locations.push_back(glGetAttribLocation(mHandle, name));
    }
    for (const auto& attribute : StandardAttributes) {
        if (std::find(locations.begin(), locations.end(), attribute.location) == locations.end()) {
            std::cerr << "Shader program (" << files << ") has no vertex input at location " << attribute.location
                      << " (" << attribute.meaning << ")!" << std::endl;
            ++missing;
        }
    }
    for (const char* uniform : StandardUniforms) {
        if (glGetUniformLocation(mHandle, uniform) == -1) {
            std::cerr << "Shader program (" << files << ") has no uniform \"" << uniform << "\"!" << std::endl;
            ++missing;
        }
    }
    CHECK_GL_ERROR("", files);
    return missing;
}

void ShaderProgram::Share(const std::shared_ptr<ShaderProgram>& program)
{
    ASSERT_MSG(mInitialized == false, "ShaderProgram was already initialized!", mShaderFiles);
    BOOST_ASSERT(program && program->mInitialized);
    mShared = program;
    mHandle = program->mHandle;
    mShaderFiles = program->mShaderFiles;
    mInitialized = true;
}

bool ShaderProgram::IsLinked() const
{
    GLint status = GL_FALSE;
    if (mInitialized && mHandle != 0) {
        glGetProgramiv(mHandle, GL_LINK_STATUS, &status);
        CHECK_GL_ERROR("", mShaderFiles.toStdString());
    }
    return status == GL_TRUE;
}

bool SetupStandardShaderProgram(ShaderProgram& program, const QString& shaderPath)
{
    const QString folder = StandardShaders::Use(shaderPath);
    program.Init();
    bool usable = program.CompileAndAddShaderFromFile(folder + StandardVertexShaderFile, Shader::Vertex);
    usable = program.CompileAndAddShaderFromFile(folder + StandardFragmentShaderFile, Shader::Fragment) && usable;
    program.Link();
    GLint linked = GL_FALSE;
    glGetProgramiv(program.mHandle, GL_LINK_STATUS, &linked);
    // A failed link has reported itself; its inputs would only repeat it.
    usable = usable && linked == GL_TRUE && program.ReportMissingStandardInputs() == 0;
    program.Use();
    program.SetUniform1i("Tex1", 0);
    return usable;
}

bool ShareStandardShaderProgram(ShaderProgram& program, const QString& shaderPath)
{
    const QString folder = StandardShaders::Use(shaderPath);
    bool built = false;
    program.Share(
        ProgramCache::Acquire(folder + StandardVertexShaderFile, folder + StandardFragmentShaderFile, &built));
    // A failed link has reported itself; its inputs would only repeat it.
    bool usable = program.IsLinked();
    if (built && usable) {
        usable = program.ReportMissingStandardInputs() == 0;
    }
    program.Use();
    program.SetUniform1i("Tex1", 0);
    return usable;
}

std::string ShaderProgram::InfoLog(GLuint object, bool isProgram)
{
    GLint length = 0;
    if (isProgram) {
        glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    } else {
        glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    }
    std::string log(static_cast<std::size_t>(std::max(length, 1)), '\0');
    if (isProgram) {
        glGetProgramInfoLog(object, length, nullptr, &log[0]);
    } else {
        glGetShaderInfoLog(object, length, nullptr, &log[0]);
    }
    log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    return log;
}

GLuint ShaderProgram::CompileStage(GLenum type, const std::string& text, std::string& log)
{
    const GLuint shader = glCreateShader(type);
    const char* pointer = text.c_str();
    const GLint length = static_cast<GLint>(text.size());
    glShaderSource(shader, 1, &pointer, &length);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == GL_TRUE) {
        return shader;
    }
    log = InfoLog(shader, false);
    glDeleteShader(shader);
    return 0;
}
