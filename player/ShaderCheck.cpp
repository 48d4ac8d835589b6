#include "ShaderCheck.h"

#include "ShaderLog.h"
#include "ShaderProgram.h"

#include <GL/glew.h>

#include <QFile>

namespace {

// Returns 0 when the file cannot be read or the stage does not compile.
GLuint Compile(const QString& file, GLenum stage, std::vector<Diagnostic>& problems)
{
    const std::string name = file.toStdString();
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly)) {
        problems.emplace_back(name, 1, 1, Diagnostic::Severity::Error, "cannot read the shader file");
        return 0;
    }
    std::string log;
    const GLuint shader = ShaderProgram::CompileStage(stage, source.readAll().toStdString(), log);
    if (shader != 0) {
        return shader;
    }
    std::vector<Diagnostic> found = ShaderCheck::ParseLog(name, log);
    if (found.empty()) {
        found.emplace_back(name, 1, 1, Diagnostic::Severity::Error, "the shader does not compile");
    }
    problems.insert(problems.end(), found.begin(), found.end());
    return 0;
}

} // namespace

std::vector<Diagnostic> ShaderCheck::Run(const QString& vertexFile, const QString& fragmentFile)
{
    std::vector<Diagnostic> problems;
    const GLuint vertex = Compile(vertexFile, GL_VERTEX_SHADER, problems);
    const GLuint fragment = Compile(fragmentFile, GL_FRAGMENT_SHADER, problems);
    if (vertex != 0 && fragment != 0) {
        const GLuint program = glCreateProgram();
        glAttachShader(program, vertex);
        glAttachShader(program, fragment);
        glLinkProgram(program);
        GLint linked = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        if (linked != GL_TRUE) {
            // A link has no line of its own: the pair is named at the vertex stage.
            std::string log = ShaderProgram::InfoLog(program, true);
            while (!log.empty() && (log.back() == '\n' || log.back() == ' ')) {
                log.pop_back();
            }
            for (char& c : log) {
                c = c == '\n' ? ' ' : c;
            }
            problems.emplace_back(vertexFile.toStdString(), 1, 1, Diagnostic::Severity::Error,
                                  "the pair does not link" + (log.empty() ? std::string() : ": " + log));
        }
        glDeleteProgram(program);
    }
    if (vertex != 0) {
        glDeleteShader(vertex);
    }
    if (fragment != 0) {
        glDeleteShader(fragment);
    }
    return problems;
}

std::vector<Diagnostic> ShaderCheck::ParseLog(const std::string& file, const std::string& log)
{
    return ShaderLog::Parse(file, log);
}
