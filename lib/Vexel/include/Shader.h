#pragma once

#include "CheckGlError.h"

#include <GL/glew.h>

#include <QFile>
#include <QString>
#include <QTextStream>

#include <cstring>
#include <iostream>
#include <string>

// One GL shader object compiled from a file or a source text. Owned by the
// ShaderProgram it is attached to.
class Shader
{
public:
    // The GL enums themselves, so a value goes to glCreateShader unchanged.
    enum ShaderType
    {
        Vertex = GL_VERTEX_SHADER,
        Fragment = GL_FRAGMENT_SHADER,
        Geometry = GL_GEOMETRY_SHADER
    };

    Shader() = default;
    ~Shader() { ReleaseShader(); }

    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    bool CompileAndAddShaderFromFile(const QString& fileName, ShaderType type);
    bool CompileAndAddShaderFromString(const QString& shaderSource, ShaderType type);
    static QString GetShaderTypeName(ShaderType type);
    void ReleaseShader();

    GLuint mHandle = 0;
    QString mFileName;
    QString mSource;
};

inline bool Shader::CompileAndAddShaderFromFile(const QString& fileName, ShaderType type)
{
    QFile file(fileName);
    if (!file.exists()) {
        std::cerr << "Shader::CompileAndAddShaderFromFile(): File \"" << fileName.toStdString()
                  << "\" does not exist!" << std::endl;
        return false;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        file.close();
        std::cerr << "ShaderProgram::LoadShader(): Cannot open file \"" << fileName.toStdString() << "\"!"
                  << std::endl;
        return false;
    }
    if (file.size() <= 0) {
        file.close();
        std::cerr << "ShaderProgram::LoadShader(): File \"" << fileName.toStdString() << "\" is empty!"
                  << std::endl;
        return false;
    }
    QTextStream stream(&file);
    const QString text = stream.readAll();
    if (!CompileAndAddShaderFromString(text, type)) {
        // The compiler's report above does not say which file it was.
        std::cerr << "Shader::CompileAndAddShaderFromFile(): File \"" << fileName.toStdString()
                  << "\" could not be compiled!" << std::endl;
        return false;
    }
    mFileName = fileName;
    file.close();
    return true;
}

inline bool Shader::CompileAndAddShaderFromString(const QString& shaderSource, ShaderType type)
{
    // A second compile on the same object would otherwise lose the first GL name.
    ReleaseShader();

    mHandle = glCreateShader(static_cast<GLenum>(type));
    CHECK_GL_ERROR("", mFileName.toStdString());
    if (mHandle == 0) {
        std::cerr << "ERROR: Could not create a shader. (from: bool Shader::CompileAndAddShaderFromString(const "
                     "QString& shaderSource, ShaderType shaderType))"
                  << std::endl;
        return false;
    }

    const QByteArray source8 = shaderSource.toLocal8Bit();
    const char* sourceText = source8.constData();
    const GLint sourceLength = static_cast<GLint>(std::strlen(sourceText));
    glShaderSource(mHandle, 1, &sourceText, &sourceLength);
    CHECK_GL_ERROR("", mFileName.toStdString());

    GLint infoLogLength = 0;
    glGetShaderiv(mHandle, GL_INFO_LOG_LENGTH, &infoLogLength);
    CHECK_GL_ERROR("", mFileName.toStdString());
    char infoLog[1024] = {};
    glGetShaderInfoLog(mHandle, sizeof(infoLog), &infoLogLength, infoLog);
    CHECK_GL_ERROR("", mFileName.toStdString());

    CHECK_GL_ERROR(std::string("Could not set shader source\n") +
                       "== Source ============================================\n" + sourceText + "\n" +
                       "== InfoLog ===========================================\n: " + infoLog + "\n" +
                       "======================================================\n",
                   mFileName.toStdString());

    glCompileShader(mHandle);
    CHECK_GL_ERROR("Could not compile a shader", mFileName.toStdString());

    GLint status = GL_FALSE;
    glGetShaderiv(mHandle, GL_COMPILE_STATUS, &status);
    if (status == GL_TRUE) {
        mSource = shaderSource;
        return true;
    }

    char compileLog[1024] = {};
    glGetShaderInfoLog(mHandle, sizeof(compileLog), nullptr, compileLog);
    // The object stays in mHandle; ReleaseShader gives it back.
    std::cerr << "Error compiling shader type " << GetShaderTypeName(type).toStdString() << ": '" << compileLog
              << "'" << std::endl;
    return false;
}

inline QString Shader::GetShaderTypeName(ShaderType type)
{
    switch (type) {
    case Vertex:
        return QStringLiteral("Vertex shader");
    case Fragment:
        return QStringLiteral("Fragment shader");
    case Geometry:
        return QStringLiteral("Geometry shader");
    }
    return QStringLiteral("Unknown!");
}

inline void Shader::ReleaseShader()
{
    if (mHandle == 0) {
        return;
    }
    glDeleteShader(mHandle);
    CHECK_GL_ERROR("", mFileName.toStdString());
    mHandle = 0;
}
