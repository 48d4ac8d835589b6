#pragma once

#include "Halvorn/Animation.h"
#include "Halvorn/BufferSettings.h"
#include "Halvorn/DemoPartParam.h"
#include "Halvorn/ShaderSource.h"

#include <glm/vec4.hpp>

#include <QString>

#include <string>
#include <vector>

// The parameters of a lib.Shader part read against its shader's
// declarations, with every problem found on the way. Shared by the part and
// the settings check, so both say the same; no GL.
class ShaderPartSettings
{
public:
    // What a sampler parameter names: a picture, one of the engine's sources
    // or a buffer of the settings file.
    enum class Source
    {
        Picture,
        Previous,
        Screen,
        Noise,
        Checker,
        Music,
        Buffer
    };

    struct Sampler
    {
        std::string uniform;
        Source source = Source::Picture;
        // For a picture: the file below data/textures/.
        QString picture;
        // The parameter it came from.
        int param = -1;
        // For a buffer: its index among the buffers given to Read (-1 when
        // none were given), and its name.
        int buffer = -1;
        QString bufferName;
    };

    struct Value
    {
        std::string uniform;
        int components = 1;
        glm::vec4 value{0.0f};
        int param = -1;
    };

    struct Problem
    {
        bool error = true;
        // The parameter it is about, -1 for the part as a whole.
        int param = -1;
        // Names the part: "part \"NAME\": ..."
        std::string message;
    };

    // Reads the parameters in order, a later one of a key winning. shader is
    // null when the shader file cannot be used: then only the part's own
    // keys are read, and the others are left alone. A sampler value naming
    // one of buffers reads it, as does "@NAME", which must name one of them;
    // without buffers, "@NAME" is taken for a buffer unchecked.
    static ShaderPartSettings Read(const QString& partName, const std::vector<DemoPartParam>& params,
                                   const ShaderSource* shader, std::vector<Problem>& problems,
                                   const std::vector<BufferSettings>* buffers = nullptr);

    // Float and vec2 to vec4 uniforms a parameter or an animate element may
    // set: those the shader declares, but not the engine's.
    static std::vector<Animation::Uniform> AnimatableUniforms(const ShaderSource& shader);

    // The special source a sampler value names, or Picture.
    static Source SourceNamed(const QString& value);

    // The keys every lib.Shader part knows, whatever its shader declares.
    static bool IsPartKey(const QString& key);

    // The file named by the last shader parameter; empty without one.
    QString mShader;
    int mShaderParam = -1;
    // A Gl::BlendMode value.
    int mBlendMode = 0;
    float mAlpha = 1.0f;
    float mResolution = 1.0f;
    // The shader's time: the timeline's instead of the part's own.
    bool mDemoTime = false;
    std::vector<Sampler> mSamplers;
    std::vector<Value> mValues;

    static constexpr float MinResolution = 0.125f;
};
