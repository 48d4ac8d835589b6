#pragma once

#include "Halvorn/Diagnostic.h"
#include "Halvorn/ShaderSource.h"

#include <GL/glew.h>

#include <QString>

#include <memory>
#include <string>
#include <vector>

class ShaderProgram;

// The GL program of a lib.Shader file in the current context: a vertex stage
// of the engine's that covers the viewport with one triangle, and the file's
// fragment stage. The driver's messages become diagnostics at the file's own
// lines. A built program has a texture unit for each sampler in the order GL
// lists them, image units 0-2 and 3-5 for the compute images, and the
// defaults of its float and vector uniforms.
class ShaderPartProgram
{
public:
    // Shared by every part that runs the file as it is on disk now (through
    // ProgramCache). Null, with the problems, when it cannot be built; file
    // names the shader in them.
    static std::shared_ptr<ShaderProgram> Acquire(const QString& path, const ShaderSource& source,
                                                  const std::string& file, std::vector<Diagnostic>& problems);
    // The problems of a file, read from path, as a part would meet them;
    // empty when it builds. For the settings check: nothing is kept.
    static std::vector<Diagnostic> Check(const QString& path, const std::string& file);
    // Builds a program from two texts of the engine's own, shared under key;
    // null after reporting when they do not build.
    static std::shared_ptr<ShaderProgram> AcquireInternal(const QString& key, const std::string& vertex,
                                                          const std::string& fragment);
    // The texture target a sampler type reads (GL_TEXTURE_2D for a
    // sampler2D), 0 for a type that is no sampler.
    static GLenum SamplerTarget(GLenum type);
};
