#pragma once

#include <QString>

#include <string>
#include <vector>

// A fragment shader file as a lib.Shader part runs it: which of the two
// live-coding conventions it follows, the uniforms it declares and the texts
// to compile. Reads text only, no GL, so the settings check can use it
// without a context.
//
// - Showdown: the file has its own #version and main() and writes out_color;
//   it is compiled as it is.
// - Shadertoy: the file defines mainImage() and no main(); it is compiled
//   after a header of the engine's uniforms and before a main() that calls
//   it, with a #line directive so the driver's messages keep the file's lines.
class ShaderSource
{
public:
    enum class Convention
    {
        Unknown,
        Showdown,
        Shadertoy
    };

    // One name of a uniform declaration, as written.
    struct Uniform
    {
        std::string name;
        // "float", "vec3", "sampler2D", "uimage2D", ...
        std::string type;
        // 0 unless declared as an array.
        int arraySize = 0;
        // Where the name stands in the file, from 1; 0 for the engine's own
        // declarations of the Shadertoy header.
        int line = 0;
        int column = 0;

        // 1 to 4 for a float or a vec2 to vec4 that is not an array; 0 otherwise.
        int Components() const;
        bool IsSampler() const;
        bool IsImage() const;
        // "vec3", or "float[4]" for an array.
        std::string TypeText() const;
    };

    explicit ShaderSource(const std::string& text);

    // The whole file; false with the reason when it cannot be read.
    static bool ReadFile(const QString& path, std::string& text, std::string& error);

    Convention GetConvention() const { return mConvention; }
    static const char* ConventionName(Convention convention);
    // Why the file follows neither convention, and at which line; empty
    // when it follows one.
    const std::string& Problem() const { return mProblem; }
    int ProblemLine() const { return mProblemLine; }

    // The file's declarations, and for Shadertoy the header's before them.
    const std::vector<Uniform>& Uniforms() const { return mUniforms; }
    // The first declaration of that name, or null.
    const Uniform* Find(const std::string& name) const;
    // Whether the file declares the compute images.
    bool UsesComputeImages() const;

    // What is compiled for the two stages.
    const std::string& FragmentText() const { return mFragment; }
    const std::string& VertexText() const { return mVertex; }
    // Lines in the file itself, at least 1.
    int LineCount() const { return mLineCount; }

    // Uniforms whose value the engine sets every frame: times, sizes, its own
    // textures and images. A parameter cannot set them.
    static bool IsEngineUniform(const std::string& name);
    // The names of the two sets of compute images.
    static const char* const ComputeTexName;
    static const char* const ComputeTexBackName;
    // The output the Shadertoy main writes.
    static const char* const ShadertoyOutput;

private:
    void FindConvention(const std::string& stripped);
    void BuildTexts(const std::string& text);

    Convention mConvention = Convention::Unknown;
    std::string mProblem;
    int mProblemLine = 1;
    std::vector<Uniform> mUniforms;
    // The #version directive's text after the word, and its line; 0 without one.
    std::string mVersion;
    int mVersionLine = 0;
    std::string mFragment;
    std::string mVertex;
    int mLineCount = 1;
};
