#pragma once

#include "Shader.h"

#include <GL/glew.h>

#include <QString>

#include <map>
#include <memory>
#include <string>
#include <vector>

// The standard shader pair that drawing parts load from the shader folder.
// Constant-initialised, so other globals may use them during start-up.
inline constexpr char StandardVertexShaderFile[] = "standard.330.vert";
inline constexpr char StandardFragmentShaderFile[] = "standard.330.frag";

// One GL program object. Calling order: Init, CompileAndAddShaderFromFile
// once per stage, Link, then Use and the uniform setters.
class ShaderProgram
{
public:
    ShaderProgram();
    ~ShaderProgram();

    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;

    void Init();
    bool CompileAndAddShaderFromFile(const QString& fileName, Shader::ShaderType type);
    void Link() const;
    void Use() const;

    // 0xFFFFFFFF (GL's -1) when the program has no active uniform of that name.
    GLuint GetUniformLocation(const QString& name);
    void SetUniform1f(const QString& name, float value);
    void SetUniform1i(const QString& name, int value);
    void SetUniformMatrix4fv(const QString& name, int count, unsigned char transpose, const float* values);

    // After a successful Link: writes one line to standard error for each input
    // of the standard drawing that the program lacks (vertex inputs at
    // locations 0 and 1, uniforms "MVP", "Tex1" and "Alpha"), and returns how
    // many. Without them a part draws nothing and says nothing.
    int ReportMissingStandardInputs() const;
    // Instead of Init, compile and link: draw with a program built by another
    // object, which stays alive as long as this one. Uniform lookups and
    // their log lines stay this object's own.
    void Share(const std::shared_ptr<ShaderProgram>& program);
    // Whether Link succeeded; false before Link.
    bool IsLinked() const;
    // The driver's log of a shader or program object, without its trailing NUL.
    static std::string InfoLog(GLuint object, bool isProgram);
    // One stage compiled from its text: the shader object, or 0 with the
    // driver's log when it does not compile (nothing is left behind).
    static GLuint CompileStage(GLenum type, const std::string& text, std::string& log);

    bool mInitialized;
    GLuint mHandle;
    // Owned; attached in the order they were added.
    std::vector<Shader*> mShaders;
    // Successful lookups only: a missing name is asked of GL again every time.
    std::map<QString, GLint> mUniformLocations;
    // Every added file followed by ", "; names the program in reports.
    QString mShaderFiles;
    // The owner of mHandle when it was shared from another program.
    std::shared_ptr<ShaderProgram> mShared;
    // For a program shared by parts that each set their own values: what its
    // float and vector uniforms held right after the link, so a part can put
    // back what another one set. Filled by whoever builds the program.
    std::map<std::string, std::vector<float>> mUniformDefaults;
};

// What every drawing part does with its program: the standard pair from
// shaderPath, linked, in use, sampling texture unit 0. False when a file did
// not compile, the link failed or a standard input is missing (all reported);
// the program is set up as far as it goes either way.
bool SetupStandardShaderProgram(ShaderProgram& program, const QString& shaderPath);
// The same, with the GL program shared with every other user of the pair
// (ProgramCache); the log lines are those of SetupStandardShaderProgram, and
// missing standard inputs are reported once, when the program is built.
bool ShareStandardShaderProgram(ShaderProgram& program, const QString& shaderPath);
