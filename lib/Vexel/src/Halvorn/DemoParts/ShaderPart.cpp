#include "Halvorn/DemoParts/ShaderPart.h"

#include "CheckGlError.h"
#include "Halvorn/DemoApp.h"
#include "Halvorn/DemoBuffers.h"
#include "Halvorn/ShaderPartProgram.h"
#include "MusicTextures.h"
#include "PatternTextures.h"
#include "PictureCache.h"
#include "ShaderProgram.h"
#include "Texture.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <stdexcept>

namespace {

const char* const CompositeVertex =
    "#version 330 core\n"
    "out vec2 uv;\n"
    "void main()\n"
    "{\n"
    "    vec2 corner = vec2(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1));\n"
    "    uv = corner * 0.5 + 0.5;\n"
    "    gl_Position = vec4(corner, 0.0, 1.0);\n"
    "}\n";
// As the standard pair draws a picture: its colour, its alpha times Alpha.
const char* const CompositeFragment = "#version 330 core\n"
                                      "uniform sampler2D Picture;\n"
                                      "uniform float Alpha;\n"
                                      "in vec2 uv;\n"
                                      "out vec4 color;\n"
                                      "void main()\n"
                                      "{\n"
                                      "    vec4 texel = texture(Picture, uv);\n"
                                      "    color = vec4(texel.rgb, texel.a * Alpha);\n"
                                      "}\n";

struct FeedName
{
    const char* name;
    GLenum type;
    int feed;
};

// Until a frame has had a step, as Shadertoy does before it has measured.
const float FirstFrameRate = 60.0f;

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(long long days, int& year, int& month, int& day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

} // namespace

ShaderPart::ShaderPart(DemoApp* app, double start, double end, unsigned int priority, const QString& name,
                       const std::vector<DemoPartParam>& attributeParams, const std::vector<DemoPartParam>& params)
    : DemoPart(app, start, end, priority, name, attributeParams, params, "Shader")
{
    std::cout << "ShaderPart::ShaderPart()" << std::endl;
    const std::string part = "part \"" + mName.toStdString() + "\": ";

    std::vector<ShaderPartSettings::Problem> problems;
    ShaderPartSettings settings = ShaderPartSettings::Read(mName, params, nullptr, problems);
    if (settings.mShaderParam < 0) {
        throw std::runtime_error(problems.back().message);
    }
    const QString path = mDemoApp->GetShaderPath() + settings.mShader;
    const std::string named = "\"data/shaders/" + settings.mShader.toStdString() + "\"";
    std::string text;
    std::string error;
    if (!QFileInfo(path).isFile()) {
        throw std::runtime_error(part + "shader " + named + " not found");
    }
    if (!ShaderSource::ReadFile(path, text, error)) {
        throw std::runtime_error(part + "shader " + named + " cannot be read: " + error);
    }
    const ShaderSource source(text);
    problems.clear();
    settings = ShaderPartSettings::Read(mName, params, &source, problems, &mDemoApp->DeclaredBuffers());
    for (const ShaderPartSettings::Problem& problem : problems) {
        if (!problem.error) {
            std::cerr << "Warning: " << problem.message << std::endl;
        }
    }
    for (const ShaderPartSettings::Problem& problem : problems) {
        if (problem.error) {
            throw std::runtime_error(problem.message);
        }
    }
    mBlendMode = static_cast<Gl::BlendMode>(settings.mBlendMode);
    mAlpha = settings.mAlpha;
    mResolution = settings.mResolution;
    mDemoTime = settings.mDemoTime;

    std::vector<Diagnostic> failures;
    mProgram = ShaderPartProgram::Acquire(path, source, path.toStdString(), failures);
    if (!mProgram) {
        for (const Diagnostic& failure : failures) {
            std::cerr << failure.Format() << std::endl;
        }
        throw std::runtime_error(part + "shader " + named + " does not compile");
    }
    mComposite =
        ShaderPartProgram::AcquireInternal(QStringLiteral("lib.Shader composite"), CompositeVertex, CompositeFragment);
    if (!mComposite) {
        throw std::runtime_error(part + "the engine's composite program does not build");
    }
    mCompositeAlpha = glGetUniformLocation(mComposite->mHandle, "Alpha");

    // Every picture a parameter names is loaded, whether the shader reads it or not.
    std::vector<const TextureTarget*> pictures;
    for (const ShaderPartSettings::Sampler& sampler : settings.mSamplers) {
        pictures.push_back(sampler.source == ShaderPartSettings::Source::Picture ? &UprightPicture(sampler.picture)
                                                                                 : nullptr);
    }
    FindUniforms(settings, pictures);
    if (mMusic) {
        // Waits for the analysis, as pictures are loaded before the first
        // frame: from that frame on the inputs are exact, in a capture too.
        mSoundtrack = mDemoApp->GetAnalysedSoundtrack();
    }
    if (glGetUniformLocation(mProgram->mHandle, ShaderSource::ComputeTexName) >= 0 ||
        glGetUniformLocation(mProgram->mHandle, ShaderSource::ComputeTexBackName) >= 0) {
        mCompute = std::make_unique<ComputeImages>();
    }

    glGenVertexArrays(1, &mVertexArray);
    glGenSamplers(1, &mPictureSampler);
    glSamplerParameteri(mPictureSampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glSamplerParameteri(mPictureSampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(mPictureSampler, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glSamplerParameteri(mPictureSampler, GL_TEXTURE_WRAP_T, GL_REPEAT);
    CHECK_GL_ERROR("", mName.toStdString());
}

ShaderPart::~ShaderPart()
{
    glDeleteSamplers(1, &mPictureSampler);
    glDeleteVertexArrays(1, &mVertexArray);
    CHECK_GL_ERROR("", mName.toStdString());
}

void ShaderPart::FindUniforms(const ShaderPartSettings& settings, const std::vector<const TextureTarget*>& pictures)
{
    static const FeedName Feeds[] = {
        {"fGlobalTime", GL_FLOAT, static_cast<int>(Feed::Time)},
        {"iTime", GL_FLOAT, static_cast<int>(Feed::Time)},
        {"fFrameTime", GL_FLOAT, static_cast<int>(Feed::FrameTime)},
        {"iTimeDelta", GL_FLOAT, static_cast<int>(Feed::FrameTime)},
        {"v2Resolution", GL_FLOAT_VEC2, static_cast<int>(Feed::Resolution2)},
        {"iResolution", GL_FLOAT_VEC3, static_cast<int>(Feed::Resolution3)},
        {"iFrame", GL_INT, static_cast<int>(Feed::Frame)},
        {"iFrameRate", GL_FLOAT, static_cast<int>(Feed::FrameRate)},
        {"iMouse", GL_FLOAT_VEC4, static_cast<int>(Feed::Mouse)},
        {"iDate", GL_FLOAT_VEC4, static_cast<int>(Feed::Date)},
        {"iSampleRate", GL_FLOAT, static_cast<int>(Feed::SampleRate)},
        {"iChannelResolution", GL_FLOAT_VEC3, static_cast<int>(Feed::ChannelResolution)},
        {"iChannelTime", GL_FLOAT, static_cast<int>(Feed::ChannelTime)},
    };
    const GLuint handle = mProgram->mHandle;
    GLint count = 0;
    glGetProgramiv(handle, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char text[256] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(handle, static_cast<GLuint>(i), sizeof text, nullptr, &size, &type, text);
        const GLint location = glGetUniformLocation(handle, text);
        std::string name(text);
        if (name.size() > 3 && name.compare(name.size() - 3, 3, "[0]") == 0) {
            name.resize(name.size() - 3);
        }
        if (location < 0) {
            continue;
        }
        if (const GLenum target = ShaderPartProgram::SamplerTarget(type)) {
            GLint unit = 0;
            glGetUniformiv(handle, location, &unit);
            for (GLint element = 0; element < size; ++element) {
                SamplerUnit slot{GL_TEXTURE0 + static_cast<GLenum>(unit + element),
                                 target,
                                 ShaderPartSettings::Source::Picture,
                                 0,
                                 false,
                                 -1,
                                 0.0f,
                                 0.0f,
                                 -1};
                // An array's elements read nothing.
                if (size == 1) {
                    FeedSampler(slot, name, settings, pictures);
                }
                mSamplers.push_back(slot);
            }
            continue;
        }
        const auto feed = std::find_if(std::begin(Feeds), std::end(Feeds),
                                       [&name](const FeedName& entry) { return name == entry.name; });
        if (feed != std::end(Feeds)) {
            // A uniform of another type under the name is left alone.
            if (feed->type == type) {
                mEngineUniforms.push_back(EngineUniform{location, static_cast<Feed>(feed->feed)});
            }
            continue;
        }
        const auto defaults = mProgram->mUniformDefaults.find(name);
        if (defaults == mProgram->mUniformDefaults.end() || ShaderSource::IsEngineUniform(name)) {
            continue;
        }
        NumberUniform number{name, location, static_cast<int>(defaults->second.size()), glm::vec4(0.0f)};
        for (std::size_t c = 0; c < defaults->second.size() && c < 4; ++c) {
            number.value[static_cast<int>(c)] = defaults->second[c];
        }
        for (const ShaderPartSettings::Value& value : settings.mValues) {
            if (value.uniform == name) {
                number.value = value.value;
            }
        }
        mNumbers.push_back(number);
    }
}

void ShaderPart::FeedSampler(SamplerUnit& slot, const std::string& name, const ShaderPartSettings& settings,
                             const std::vector<const TextureTarget*>& pictures)
{
    if (name.size() == 9 && name.compare(0, 8, "iChannel") == 0 && name[8] >= '0' && name[8] <= '3') {
        slot.channel = name[8] - '0';
    }
    if (name == "texFFT" || name == "texFFTSmoothed" || name == "texFFTIntegrated") {
        mMusic = mMusic ? mMusic : MusicTextures::Acquire();
        slot.texture = name == "texFFT"           ? mMusic->Fft()
                       : name == "texFFTSmoothed" ? mMusic->FftSmoothed()
                                                  : mMusic->FftIntegrated();
        slot.width = MusicTextures::FftSize;
        slot.height = 1.0f;
    } else if (name == "texPreviousFrame") {
        slot.source = ShaderPartSettings::Source::Previous;
    } else if (name == "texNoise") {
        slot.source = ShaderPartSettings::Source::Noise;
    } else if (name == "texChecker") {
        slot.source = ShaderPartSettings::Source::Checker;
    }
    for (std::size_t index = 0; index < settings.mSamplers.size(); ++index) {
        if (settings.mSamplers[index].uniform == name) {
            slot.source = settings.mSamplers[index].source;
            slot.buffer = settings.mSamplers[index].buffer;
            slot.picture = pictures[index] != nullptr;
            if (slot.picture) {
                slot.texture = pictures[index]->Texture();
                slot.width = static_cast<float>(pictures[index]->Width());
                slot.height = static_cast<float>(pictures[index]->Height());
            }
        }
    }
    switch (slot.source) {
    case ShaderPartSettings::Source::Noise:
    case ShaderPartSettings::Source::Checker:
        mPatterns = mPatterns ? mPatterns : PatternTextures::Acquire();
        slot.texture = slot.source == ShaderPartSettings::Source::Noise ? mPatterns->Noise() : mPatterns->Checker();
        slot.width = slot.height = slot.source == ShaderPartSettings::Source::Noise ? PatternTextures::NoiseSize
                                                                                    : PatternTextures::CheckerSize;
        break;
    case ShaderPartSettings::Source::Music:
        mMusic = mMusic ? mMusic : MusicTextures::Acquire();
        slot.texture = mMusic->Music();
        slot.width = MusicTextures::MusicWidth;
        slot.height = MusicTextures::MusicHeight;
        break;
    case ShaderPartSettings::Source::Previous:
        mUsesPrevious = true;
        break;
    case ShaderPartSettings::Source::Screen:
        mUsesScreen = true;
        break;
    case ShaderPartSettings::Source::Buffer:
        mReadBuffers.push_back(slot.buffer);
        break;
    case ShaderPartSettings::Source::Picture:
        break;
    }
}

const TextureTarget& ShaderPart::UprightPicture(const QString& file)
{
    // Pictures are uploaded top row first, as the image parts draw them; a
    // shader counts from the bottom, so each is turned over once, here.
    const std::shared_ptr<const Texture> loaded =
        PictureCache::Acquire(mDemoApp->GetTexturePath() + file, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    const int width = static_cast<int>(loaded->GetWidth());
    const int height = static_cast<int>(loaded->GetHeight());
    auto upright = std::make_unique<TextureTarget>(width, height);
    GLuint source = 0;
    glGenFramebuffers(1, &source);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, loaded->mHandle, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, upright->Framebuffer());
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(0, 0, width, height, 0, height, width, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    if (scissor == GL_TRUE) {
        glEnable(GL_SCISSOR_TEST);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, mDemoApp->mDrawTarget.mFramebuffer);
    glDeleteFramebuffers(1, &source);
    CHECK_GL_ERROR("", file.toStdString());
    mPictures.push_back(std::move(upright));
    return *mPictures.back();
}

void ShaderPart::BeginPart()
{
    mRestart = true;
    mFrame = 0;
    mAdvanced = false;
    mFrameRate = FirstFrameRate;
}

void ShaderPart::UpdateDemoPart(double step, double runningTime, double time)
{
    mAdvanced = mAdvanced || step > 0.0;
    mStep = step;
    mTimelineTime = time;
    mShaderTime = mDemoTime ? time : runningTime;
    if (step > 0.0) {
        mFrameRate = static_cast<float>(1.0 / step);
    }
    if (!mAnimations.empty()) {
        ApplyAnimations(runningTime);
    }
    // 2000-01-01 plus the timeline time, so a capture is the same on every run.
    const double seconds = std::max(0.0, time);
    const double days = std::floor(seconds / 86400.0);
    int year = 2000;
    int month = 1;
    int day = 1;
    CivilFromDays(10957 + static_cast<long long>(days), year, month, day);
    mDate[0] = static_cast<float>(year);
    mDate[1] = static_cast<float>(month - 1);
    mDate[2] = static_cast<float>(day);
    mDate[3] = static_cast<float>(seconds - days * 86400.0);
}

void ShaderPart::ApplyAnimations(double runningTime)
{
    if (mAnimatedNumbers.size() != mAnimations.size()) {
        // Once: the loader hands the animations over after construction.
        mAnimatedNumbers.assign(mAnimations.size(), -1);
        for (std::size_t a = 0; a < mAnimations.size(); ++a) {
            for (std::size_t n = 0; n < mNumbers.size(); ++n) {
                if (mAnimations[a].mTarget == Animation::Target::Uniform &&
                    mAnimations[a].mUniform == mNumbers[n].name) {
                    mAnimatedNumbers[a] = static_cast<int>(n);
                }
            }
        }
    }
    for (std::size_t a = 0; a < mAnimations.size(); ++a) {
        const Animation& animation = mAnimations[a];
        switch (animation.mTarget) {
        case Animation::Target::Alpha:
            mAlpha = animation.Evaluate(runningTime).x;
            break;
        case Animation::Target::Time:
            mShaderTime = animation.Evaluate(runningTime).x;
            break;
        case Animation::Target::Uniform:
            if (mAnimatedNumbers[a] >= 0) {
                mNumbers[static_cast<std::size_t>(mAnimatedNumbers[a])].value = animation.EvaluateVector(runningTime);
            }
            break;
        default:
            break;
        }
    }
}

void ShaderPart::RenderDemoPart(double /*step*/, double /*runningTime*/, double /*time*/)
{
    const DrawTarget& target = mDemoApp->mDrawTarget;
    const Rect<int>& area = target.mArea;
    if (area.mWidth <= 0 || area.mHeight <= 0) {
        return;
    }
    const int width = std::max(1, static_cast<int>(std::lround(area.mWidth * mResolution)));
    const int height = std::max(1, static_cast<int>(std::lround(area.mHeight * mResolution)));
    // Gl_FragCoord counts from the framebuffer's corner, so the area must start there.
    mDrewDirectly = mResolution == 1.0f && !mUsesPrevious && mBlendMode == Gl::Opaque && area.mX == 0 && area.mY == 0;
    Resize(width, height, target);
    if (!mAdvanced && mFrame > 0) {
        // The same moment again (paused): the last frame is drawn again from
        // the same inputs, so feedback and images do not run on.
        mCurrent = 1 - mCurrent;
        --mFrame;
        if (mCompute) {
            mCompute->Repeat();
        }
    }
    mAdvanced = false;

    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    const GLboolean depth = glIsEnabled(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    if (mScreen) {
        // What the parts below drew this frame, before this one draws over it.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, target.mFramebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, mScreen->Framebuffer());
        glBlitFramebuffer(area.mX, area.mY, area.mX + area.mWidth, area.mY + area.mHeight, 0, 0, area.mWidth,
                          area.mHeight, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    if (mCompute) {
        mCompute->BeginFrame();
    }
    if (mMusic) {
        mMusic->Update(mSoundtrack, mTimelineTime);
    }
    BindSamplers(width, height, area);
    glUseProgram(mProgram->mHandle);
    SetUniforms(width, height);
    glBindVertexArray(mVertexArray);

    if (mDrewDirectly) {
        glBindFramebuffer(GL_FRAMEBUFFER, target.mFramebuffer);
        glViewport(area.mX, area.mY, area.mWidth, area.mHeight);
        if (scissor == GL_TRUE) {
            glEnable(GL_SCISSOR_TEST);
        }
        glDrawArrays(GL_TRIANGLES, 0, 3);
    } else {
        glBindFramebuffer(GL_FRAMEBUFFER, mFrames[mCurrent]->Framebuffer());
        glViewport(0, 0, width, height);
        glDrawArrays(GL_TRIANGLES, 0, 3);
    }
    for (const SamplerUnit& slot : mSamplers) {
        if (slot.picture) {
            glBindSampler(slot.unit - GL_TEXTURE0, 0);
        }
    }
    if (mCompute) {
        mCompute->EndFrame();
    }
    if (!mDrewDirectly) {
        glBindFramebuffer(GL_FRAMEBUFFER, target.mFramebuffer);
        glViewport(area.mX, area.mY, area.mWidth, area.mHeight);
        if (scissor == GL_TRUE) {
            glEnable(GL_SCISSOR_TEST);
        }
        Gl::Blend(mBlendMode);
        glUseProgram(mComposite->mHandle);
        glUniform1f(mCompositeAlpha, mAlpha);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, mFrames[mCurrent]->Texture());
        glDrawArrays(GL_TRIANGLES, 0, 3);
        mCurrent = 1 - mCurrent;
    }

    // The next part starts from the state the others leave.
    glDisable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    if (depth == GL_TRUE) {
        glEnable(GL_DEPTH_TEST);
    }
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(0);
    ++mFrame;
    CHECK_GL_ERROR("", mName.toStdString());
}

void ShaderPart::Resize(int width, int height, const DrawTarget& target)
{
    // Made when first needed and again when the size or the target's format
    // changes, never per frame: a float buffer is drawn through float pictures.
    const Rect<int>& area = target.mArea;
    if (!mDrewDirectly && (!mFrames[0] || mFrames[0]->Width() != width || mFrames[0]->Height() != height ||
                           mFrames[0]->InternalFormat() != target.mFormat)) {
        mFrames[0] = std::make_unique<TextureTarget>(width, height, target.mFormat);
        mFrames[1] = std::make_unique<TextureTarget>(width, height, target.mFormat);
        mCurrent = 0;
    }
    if (mUsesScreen && (!mScreen || mScreen->Width() != area.mWidth || mScreen->Height() != area.mHeight ||
                        mScreen->InternalFormat() != target.mFormat)) {
        mScreen = std::make_unique<TextureTarget>(area.mWidth, area.mHeight, target.mFormat);
    }
    if (mCompute) {
        mCompute->Resize(width, height);
    }
    if (mRestart) {
        mRestart = false;
        for (const std::unique_ptr<TextureTarget>& frame : mFrames) {
            if (frame) {
                frame->Clear();
            }
        }
        if (mCompute) {
            mCompute->Clear();
        }
    }
}

void ShaderPart::BindSamplers(int width, int height, const Rect<int>& area)
{
    for (SamplerUnit& slot : mSamplers) {
        GLuint texture = slot.texture;
        if (slot.source == ShaderPartSettings::Source::Previous) {
            texture = mFrames[1 - mCurrent] ? mFrames[1 - mCurrent]->Texture() : 0;
            slot.width = static_cast<float>(width);
            slot.height = static_cast<float>(height);
        } else if (slot.source == ShaderPartSettings::Source::Screen) {
            texture = mScreen->Texture();
            slot.width = static_cast<float>(area.mWidth);
            slot.height = static_cast<float>(area.mHeight);
        } else if (slot.source == ShaderPartSettings::Source::Buffer) {
            const DemoBuffers* buffers = mDemoApp->Buffers();
            texture = buffers != nullptr ? buffers->Texture(slot.buffer, mTarget) : 0;
            slot.width = buffers != nullptr ? static_cast<float>(buffers->Width(slot.buffer)) : 0.0f;
            slot.height = buffers != nullptr ? static_cast<float>(buffers->Height(slot.buffer)) : 0.0f;
        }
        glActiveTexture(slot.unit);
        glBindTexture(slot.target, texture);
        if (slot.picture) {
            glBindSampler(slot.unit - GL_TEXTURE0, mPictureSampler);
        }
    }
}

void ShaderPart::SetUniforms(int width, int height)
{
    for (const EngineUniform& uniform : mEngineUniforms) {
        switch (uniform.feed) {
        case Feed::Time:
            glUniform1f(uniform.location, static_cast<float>(mShaderTime));
            break;
        case Feed::FrameTime:
            glUniform1f(uniform.location, static_cast<float>(mStep));
            break;
        case Feed::Resolution2:
            glUniform2f(uniform.location, static_cast<float>(width), static_cast<float>(height));
            break;
        case Feed::Resolution3:
            glUniform3f(uniform.location, static_cast<float>(width), static_cast<float>(height), 1.0f);
            break;
        case Feed::Frame:
            glUniform1i(uniform.location, mFrame);
            break;
        case Feed::FrameRate:
            glUniform1f(uniform.location, mFrameRate);
            break;
        case Feed::Mouse:
            glUniform4f(uniform.location, 0.0f, 0.0f, 0.0f, 0.0f);
            break;
        case Feed::Date:
            glUniform4fv(uniform.location, 1, mDate);
            break;
        case Feed::SampleRate:
            glUniform1f(uniform.location, static_cast<float>(MusicTextures::SampleRate));
            break;
        case Feed::ChannelResolution: {
            float sizes[12] = {};
            for (const SamplerUnit& slot : mSamplers) {
                if (slot.channel >= 0) {
                    sizes[slot.channel * 3] = slot.width;
                    sizes[slot.channel * 3 + 1] = slot.height;
                    sizes[slot.channel * 3 + 2] = slot.texture != 0 || slot.width > 0.0f ? 1.0f : 0.0f;
                }
            }
            glUniform3fv(uniform.location, 4, sizes);
            break;
        }
        case Feed::ChannelTime: {
            const float time = static_cast<float>(mShaderTime);
            const float times[4] = {time, time, time, time};
            glUniform1fv(uniform.location, 4, times);
            break;
        }
        }
    }
    for (const NumberUniform& number : mNumbers) {
        switch (number.components) {
        case 1:
            glUniform1f(number.location, number.value.x);
            break;
        case 2:
            glUniform2f(number.location, number.value.x, number.value.y);
            break;
        case 3:
            glUniform3f(number.location, number.value.x, number.value.y, number.value.z);
            break;
        default:
            glUniform4f(number.location, number.value.x, number.value.y, number.value.z, number.value.w);
            break;
        }
    }
}

DemoPart* ShaderPart::Clone()
{
    return new ShaderPart(mDemoApp, mStart, mEnd, mPriority, mName, mAttributeParams, mParams);
}
