#pragma once

#include "ComputeImages.h"
#include "DrawTarget.h"
#include "Gl.h"
#include "Halvorn/DemoPart.h"
#include "Halvorn/ShaderPartSettings.h"
#include "Rect.h"
#include "TextureTarget.h"

#include <GL/glew.h>
#include <glm/vec4.hpp>

#include <QString>

#include <memory>
#include <string>
#include <vector>

class MusicTextures;
class PatternTextures;
class ShaderProgram;
class SoundtrackAnalysis;

// Runs a fragment shader file of data/shaders/ over the area the parts draw
// into (lib.Shader): a file of the showdown convention or of Shadertoy's,
// fed the engine's uniforms, textures and images and the values of its
// parameters. It draws at a fraction of the area into a texture of its own,
// which is also the shader's previous frame, and puts that over what is
// below with a blend mode and an alpha; where none of that is asked for, it
// draws straight into the target. Samplers may read the timeline's buffers.
class ShaderPart : public virtual DemoPart
{
public:
    // Reads the shader and the parameters, builds (or shares) the program and
    // loads the pictures. What stops the part throws std::runtime_error
    // naming it, after the shader's errors on standard error as
    // "FILE:LINE:COL: error: MESSAGE"; warnings go to standard error and the
    // part plays on.
    ShaderPart(DemoApp* app, double start, double end, unsigned int priority, const QString& name,
               const std::vector<DemoPartParam>& attributeParams, const std::vector<DemoPartParam>& params);
    ~ShaderPart() override;

    // Feedback, the compute images and the frame count start again: at the
    // part's start, after a seek and at a capture's first frame.
    void BeginPart() override;
    void UpdateDemoPart(double step, double runningTime, double time) override;
    void RenderDemoPart(double step, double runningTime, double time) override;
    DemoPart* Clone() override;

    // Whether the last frame went straight into the target, without the
    // part's own texture.
    bool DrewDirectly() const { return mDrewDirectly; }

private:
    // What the engine feeds a uniform of its own every frame.
    enum class Feed
    {
        Time,
        FrameTime,
        Resolution2,
        Resolution3,
        Frame,
        FrameRate,
        Mouse,
        Date,
        SampleRate,
        ChannelResolution,
        ChannelTime
    };
    struct EngineUniform
    {
        GLint location;
        Feed feed;
    };
    struct NumberUniform
    {
        std::string name;
        GLint location;
        int components;
        glm::vec4 value;
    };
    struct SamplerUnit
    {
        GLenum unit;
        GLenum target;
        ShaderPartSettings::Source source;
        // Fixed textures; 0 for the previous frame and the screen, which change.
        GLuint texture;
        bool picture;
        // 0 to 3 for Shadertoy's iChannel0..3, -1 otherwise.
        int channel;
        float width;
        float height;
        // The buffer it reads, by index; -1 for none.
        int buffer;
    };

    // pictures: each sampler parameter's picture, null for a source.
    void FindUniforms(const ShaderPartSettings& settings, const std::vector<const TextureTarget*>& pictures);
    // What a sampler of that name reads: the engine's texture, or its parameter's.
    void FeedSampler(SamplerUnit& slot, const std::string& name, const ShaderPartSettings& settings,
                     const std::vector<const TextureTarget*>& pictures);
    const TextureTarget& UprightPicture(const QString& file);
    void Resize(int width, int height, const DrawTarget& target);
    void BindSamplers(int width, int height, const Rect<int>& area);
    void SetUniforms(int width, int height);
    void ApplyAnimations(double runningTime);

    std::shared_ptr<ShaderProgram> mProgram;
    std::shared_ptr<ShaderProgram> mComposite;
    GLint mCompositeAlpha = -1;
    GLuint mVertexArray = 0;
    // Linear and repeating, for pictures, whatever their textures say.
    GLuint mPictureSampler = 0;
    std::shared_ptr<MusicTextures> mMusic;
    // The analysed soundtrack the music textures show; null when the shader
    // reads none of them, or the music cannot be analysed.
    std::shared_ptr<SoundtrackAnalysis> mSoundtrack;
    std::shared_ptr<PatternTextures> mPatterns;
    // Upright copies of the pictures: a shader's (0, 0) is the bottom left.
    std::vector<std::unique_ptr<TextureTarget>> mPictures;

    std::vector<EngineUniform> mEngineUniforms;
    std::vector<NumberUniform> mNumbers;
    std::vector<SamplerUnit> mSamplers;
    // Per animate element, the number it moves (-1: none, or alpha or time).
    std::vector<int> mAnimatedNumbers;

    Gl::BlendMode mBlendMode = Gl::Opaque;
    float mAlpha = 1.0f;
    float mResolution = 1.0f;
    bool mDemoTime = false;
    bool mUsesPrevious = false;
    bool mUsesScreen = false;

    std::unique_ptr<TextureTarget> mFrames[2];
    int mCurrent = 0;
    std::unique_ptr<TextureTarget> mScreen;
    std::unique_ptr<ComputeImages> mCompute;
    bool mRestart = true;
    bool mDrewDirectly = false;
    // Whether an update has moved the part's time on since the last frame.
    bool mAdvanced = false;

    // This frame's values.
    double mStep = 0.0;
    double mShaderTime = 0.0;
    double mTimelineTime = 0.0;
    float mFrameRate = 60.0f;
    int mFrame = 0;
    float mDate[4] = {2000.0f, 0.0f, 1.0f, 0.0f};
};
