#include "Halvorn/ShaderPartProgram.h"

#include "CheckGlError.h"
#include "ComputeImages.h"
#include "ProgramCache.h"
#include "ShaderLog.h"
#include "ShaderProgram.h"

#include <GL/glew.h>

#include <algorithm>
#include <iostream>

namespace {

// Compiles one stage into the program; on failure the driver's log, and
// nothing attached.
bool AddStage(ShaderProgram& program, const std::string& text, Shader::ShaderType type, const QString& name,
              std::string& log)
{
    const GLuint handle = ShaderProgram::CompileStage(static_cast<GLenum>(type), text, log);
    if (handle == 0) {
        return false;
    }
    auto* shader = new Shader();
    shader->mHandle = handle;
    shader->mFileName = name;
    glAttachShader(program.mHandle, shader->mHandle);
    program.mShaders.push_back(shader);
    program.mShaderFiles += name + QStringLiteral(", ");
    return true;
}

bool Link(ShaderProgram& program, std::string& log)
{
    glLinkProgram(program.mHandle);
    GLint linked = GL_FALSE;
    glGetProgramiv(program.mHandle, GL_LINK_STATUS, &linked);
    if (linked == GL_TRUE) {
        return true;
    }
    log = ShaderProgram::InfoLog(program.mHandle, true);
    while (!log.empty() && (log.back() == '\n' || log.back() == ' ')) {
        log.pop_back();
    }
    for (char& c : log) {
        c = c == '\n' ? ' ' : c;
    }
    return false;
}

int FloatComponents(GLenum type)
{
    switch (type) {
    case GL_FLOAT:
        return 1;
    case GL_FLOAT_VEC2:
        return 2;
    case GL_FLOAT_VEC3:
        return 3;
    case GL_FLOAT_VEC4:
        return 4;
    default:
        return 0;
    }
}

// Units for the samplers, the compute images' units, and the defaults: set
// once, as every part that shares the program relies on them.
void Prepare(ShaderProgram& program)
{
    glUseProgram(program.mHandle);
    GLint count = 0;
    glGetProgramiv(program.mHandle, GL_ACTIVE_UNIFORMS, &count);
    GLint unit = 0;
    for (GLint i = 0; i < count; ++i) {
        char name[256] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program.mHandle, static_cast<GLuint>(i), sizeof name, nullptr, &size, &type, name);
        std::string uniform(name);
        if (uniform.size() > 3 && uniform.compare(uniform.size() - 3, 3, "[0]") == 0) {
            uniform.resize(uniform.size() - 3);
        }
        const GLint location = glGetUniformLocation(program.mHandle, name);
        if (location < 0) {
            continue;
        }
        if (ShaderPartProgram::SamplerTarget(type) != 0) {
            std::vector<GLint> units;
            for (GLint element = 0; element < size; ++element) {
                units.push_back(unit++);
            }
            glUniform1iv(location, size, units.data());
        } else if (uniform == ShaderSource::ComputeTexName || uniform == ShaderSource::ComputeTexBackName) {
            const GLint first = uniform == ShaderSource::ComputeTexName ? 0 : ComputeImages::ImagesPerSet;
            std::vector<GLint> units;
            for (GLint element = 0; element < size; ++element) {
                units.push_back(first + element);
            }
            glUniform1iv(location, size, units.data());
        } else if (FloatComponents(type) > 0 && size == 1) {
            std::vector<float> values(4, 0.0f);
            glGetUniformfv(program.mHandle, location, values.data());
            values.resize(static_cast<std::size_t>(FloatComponents(type)));
            program.mUniformDefaults[uniform] = values;
        }
    }
    // Not the program in use before: it may have been deleted while in use,
    // and would go with this call. Every part uses its own before it draws.
    glUseProgram(0);
    CHECK_GL_ERROR("", program.mShaderFiles.toStdString());
}

// Everything of a build but the sharing; false with the problems.
bool Build(ShaderProgram& program, const ShaderSource& source, const std::string& file,
           std::vector<Diagnostic>& problems)
{
    const auto add = [&problems, &file](int line, int column, const std::string& message) {
        problems.emplace_back(file, line, column, Diagnostic::Severity::Error, message);
    };
    if (source.GetConvention() == ShaderSource::Convention::Unknown) {
        add(source.ProblemLine(), 1, source.Problem());
        return false;
    }
    std::string version;
    if (source.UsesComputeImages() && !ComputeImages::Supported(version)) {
        const ShaderSource::Uniform* image = source.Find(ShaderSource::ComputeTexName);
        if (image == nullptr || !image->IsImage()) {
            image = source.Find(ShaderSource::ComputeTexBackName);
        }
        add(image->line, image->column,
            image->name +
                " needs image load/store (OpenGL 4.2 or GL_ARB_shader_image_load_store); this driver gives "
                "OpenGL " +
                version);
    }
    const QString name = QString::fromStdString(file);
    program.Init();
    std::string log;
    if (!AddStage(program, source.VertexText(), Shader::Vertex, name, log)) {
        // The stage is the engine's; only the file's #version can upset it.
        for (Diagnostic& found : ShaderLog::Parse(file, log, 1)) {
            found.mMessage = "the engine's vertex stage for this #version: " + found.mMessage;
            problems.push_back(found);
        }
    }
    if (!AddStage(program, source.FragmentText(), Shader::Fragment, name, log)) {
        std::vector<Diagnostic> found = ShaderLog::Parse(file, log, source.LineCount());
        if (found.empty()) {
            add(1, 1, "the shader does not compile");
        }
        problems.insert(problems.end(), found.begin(), found.end());
    }
    if (!problems.empty()) {
        return false;
    }
    if (!Link(program, log)) {
        add(1, 1, "the shader does not link" + (log.empty() ? std::string() : ": " + log));
        return false;
    }
    Prepare(program);
    return true;
}

} // namespace

std::shared_ptr<ShaderProgram> ShaderPartProgram::Acquire(const QString& path, const ShaderSource& source,
                                                          const std::string& file, std::vector<Diagnostic>& problems)
{
    std::shared_ptr<ShaderProgram> program = ProgramCache::AcquireBuilt(
        ProgramCache::FileStamp(path), [&](ShaderProgram& built) { return Build(built, source, file, problems); });
    return problems.empty() ? program : nullptr;
}

std::vector<Diagnostic> ShaderPartProgram::Check(const QString& path, const std::string& file)
{
    std::vector<Diagnostic> problems;
    std::string text;
    std::string error;
    if (!ShaderSource::ReadFile(path, text, error)) {
        problems.emplace_back(file, 1, 1, Diagnostic::Severity::Error, "cannot read the shader file: " + error);
        return problems;
    }
    ShaderProgram program;
    Build(program, ShaderSource(text), file, problems);
    return problems;
}

std::shared_ptr<ShaderProgram> ShaderPartProgram::AcquireInternal(const QString& key, const std::string& vertex,
                                                                  const std::string& fragment)
{
    const std::shared_ptr<ShaderProgram> program = ProgramCache::AcquireBuilt(key, [&](ShaderProgram& made) {
        made.Init();
        std::string log;
        const bool done = AddStage(made, vertex, Shader::Vertex, key, log) &&
                          AddStage(made, fragment, Shader::Fragment, key, log) && Link(made, log);
        if (!done) {
            std::cerr << "ShaderPartProgram: " << key.toStdString() << " does not build: " << log << std::endl;
        }
        return done;
    });
    return program->IsLinked() ? program : nullptr;
}

GLenum ShaderPartProgram::SamplerTarget(GLenum type)
{
    switch (type) {
    case GL_SAMPLER_1D:
    case GL_SAMPLER_1D_SHADOW:
    case GL_INT_SAMPLER_1D:
    case GL_UNSIGNED_INT_SAMPLER_1D:
        return GL_TEXTURE_1D;
    case GL_SAMPLER_2D:
    case GL_SAMPLER_2D_SHADOW:
    case GL_INT_SAMPLER_2D:
    case GL_UNSIGNED_INT_SAMPLER_2D:
        return GL_TEXTURE_2D;
    case GL_SAMPLER_3D:
    case GL_INT_SAMPLER_3D:
    case GL_UNSIGNED_INT_SAMPLER_3D:
        return GL_TEXTURE_3D;
    case GL_SAMPLER_CUBE:
    case GL_INT_SAMPLER_CUBE:
    case GL_UNSIGNED_INT_SAMPLER_CUBE:
        return GL_TEXTURE_CUBE_MAP;
    case GL_SAMPLER_1D_ARRAY:
        return GL_TEXTURE_1D_ARRAY;
    case GL_SAMPLER_2D_ARRAY:
        return GL_TEXTURE_2D_ARRAY;
    case GL_SAMPLER_2D_RECT:
        return GL_TEXTURE_RECTANGLE;
    case GL_SAMPLER_BUFFER:
        return GL_TEXTURE_BUFFER;
    default:
        return 0;
    }
}
