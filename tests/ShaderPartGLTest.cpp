#include "Halvorn/DemoParts/ShaderPart.h"

#include "Audio/MusicAnalysis.h"
#include "Audio/MusicFrames.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/ShaderPartSettings.h"
#include "PartGLFixture.h"
#include "PatternTextures.h"
#include "ProgramCache.h"
#include "TestSounds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;
using namespace VexelTest::Colours;
using VexelTest::PixelNear;
using VexelTest::Rgba;
using Params = std::vector<DemoPartParam>;
using Lines = std::vector<std::string>;

namespace {

// Parts draw into a small area at the window's bottom left.
const int AreaWidth = 64;
const int AreaHeight = 36;

const std::string Version = "#version 430 core\n";

// A showdown shader: its declarations and the body of main, which sets out_color.
std::string Showdown(const std::string& declarations, const std::string& body)
{
    return Version + declarations + "layout(location = 0) out vec4 out_color;\nvoid main()\n{\n" + body + "}\n";
}

// A pixel's channel for a value in 0..1, as the driver rounds it.
int Level(double value)
{
    return static_cast<int>(std::lround(std::min(1.0, std::max(0.0, value)) * 255.0));
}

struct Probe
{
    // From the area's bottom left, as gl_FragCoord counts.
    int x, y;
    Rgba color;
};

} // namespace

class ShaderPartGLTest : public VexelTest::PartGLFixture
{
protected:
    void SetUp() override
    {
        PartGLFixture::SetUp();
        SetArea(0, 0);
    }

    void SetArea(int x, int y) { mApp->mDrawTarget.mArea = Rect<int>(x, y, AreaWidth, AreaHeight); }

    static void SaveShader(const std::string& name, const std::string& text)
    {
        std::ofstream("data/shaders/" + name, std::ios::binary | std::ios::trunc) << text;
    }

    // A part of the shader text saved as "fx.glsl", with more parameters. The
    // same text again leaves the file as it is, so the parts share a program.
    std::unique_ptr<ShaderPart> Make(const std::string& shader, Params params = {})
    {
        if (shader != mSaved) {
            SaveShader("fx.glsl", shader);
            mSaved = shader;
        }
        params.insert(params.begin(), DemoPartParam("shader", "fx.glsl"));
        std::unique_ptr<ShaderPart> part;
        const VexelTest::Captured captured =
            Capture([&] { part.reset(new ShaderPart(mApp.get(), 0.0, 100.0, 1, "fx", {}, params)); });
        EXPECT_FALSE(captured.Threw()) << captured.What();
        // No warning, and no GL error on the way.
        EXPECT_EQ(captured.err, "");
        if (part) {
            part->BeginPart();
        }
        return part;
    }

    // One frame at a running time, 5 s into the demo's time, over a background.
    static void Draw(ShaderPart& part, double runningTime, const Rgba& background = Black, double step = 0.02)
    {
        ClearTo(background);
        part.UpdateDemoPart(step, runningTime, 5.0 + runningTime);
        part.RenderDemoPart(step, runningTime, 5.0 + runningTime);
    }

    // A pixel of the area, counted as gl_FragCoord does.
    Rgba AreaPixel(int x, int y) const
    {
        const Rect<int>& area = mApp->mDrawTarget.mArea;
        return ReadPixel(area.mX + x, Height - 1 - (area.mY + y));
    }

    void ExpectProbes(const std::vector<Probe>& probes, int tolerance = 3) const
    {
        const Rect<int>& area = mApp->mDrawTarget.mArea;
        for (const Probe& probe : probes) {
            // Just outside an area at the window's edge is outside the window.
            if (area.mX + probe.x < 0 || area.mY + probe.y < 0) {
                continue;
            }
            EXPECT_TRUE(PixelNear(AreaPixel(probe.x, probe.y), probe.color, tolerance))
                << "at " << probe.x << ", " << probe.y;
        }
    }

    // The demo's soundtrack: a WAV file of that name, new for each name.
    void UseSoundtrack(const std::string& name, const VexelTest::Samples& samples)
    {
        std::ofstream(name, std::ios::binary) << VexelTest::WavBytes(samples, 1, MusicAnalysis::SampleRate);
        mApp->mModel->mSoundtrackFile = QString::fromStdString(name);
    }

    std::string mSaved;
};

TEST_F(ShaderPartGLTest, EachConventionDrawsWithTheEnginesUniforms)
{
    const std::string showdown =
        Showdown("uniform float fGlobalTime;\nuniform float fFrameTime;\nuniform vec2 v2Resolution;\n",
                 "    out_color = vec4(gl_FragCoord.xy / v2Resolution, fGlobalTime / 10.0 + fFrameTime, 1.0);\n");
    const std::string shadertoy = "// no #version: Shadertoy's convention\n"
                                  "void mainImage(out vec4 fragColor, in vec2 fragCoord)\n"
                                  "{\n"
                                  "    vec2 uv = fragCoord / iResolution.xy;\n"
                                  "    fragColor = vec4(uv, iTime / 10.0 + iTimeDelta, iResolution.z);\n"
                                  "}\n";
    const std::string stripes = "void mainImage(out vec4 fragColor, in vec2 fragCoord)\n"
                                "{\n"
                                "    fragColor = vec4(vec3(mod(floor(fragCoord.x), 2.0)), 1.0);\n"
                                "}\n";
    const std::string counters =
        "void mainImage(out vec4 fragColor, in vec2 fragCoord)\n"
        "{\n"
        "    fragColor = vec4(float(iFrame) / 10.0, iDate.w / 100.0, iSampleRate / 100000.0, 1.0);\n"
        "    if (fragCoord.x > 32.0) fragColor = vec4(iDate.x / 4000.0, iDate.y / 10.0 + iDate.z / 10.0, "
        "iFrameRate / 100.0, 1.0);\n"
        "}\n";
    const struct
    {
        std::string name;
        std::string shader;
        Params params;
        int frames;
        double runningTime;
        std::vector<Probe> probes;
    } cases[] = {
        {"showdown",
         showdown,
         {},
         1,
         2.0,
         {{10, 20, {Level(10.5 / 64), Level(20.5 / 36), Level(0.22)}},
          {63, 0, {Level(63.5 / 64), Level(0.5 / 36), Level(0.22)}}}},
        // The timeline's time instead of the part's: 7 s.
        {"demo time",
         showdown,
         {{"time", "demo"}},
         1,
         2.0,
         {{10, 20, {Level(10.5 / 64), Level(20.5 / 36), Level(0.72)}}}},
        {"Shadertoy", shadertoy, {}, 1, 3.0, {{40, 5, {Level(40.5 / 64), Level(5.5 / 36), Level(0.32)}}}},
        // Half the resolution: columns of 0 and 1 at 32x18, scaled up linearly over the area.
        {"half resolution",
         stripes,
         {{"resolution", "0.5"}},
         1,
         3.0,
         {{2, 5, {191, 191, 191}}, {3, 5, {191, 191, 191}}, {4, 5, {64, 64, 64}}, {5, 5, {64, 64, 64}}}},
        // Three frames in: iFrame 2; 7 s is 7 s past 2000-01-01's midnight; 50 frames a second.
        {"counters",
         counters,
         {},
         3,
         2.0,
         {{0, 0, {Level(0.2), Level(0.07), Level(0.441)}}, {40, 0, {Level(0.5), Level(0.1), Level(0.5)}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ShaderPart> part = Make(c.shader, c.params);
        ASSERT_NE(part, nullptr);
        for (int frame = 0; frame < c.frames; ++frame) {
            Draw(*part, c.runningTime);
        }
        ExpectProbes(c.probes, 4);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(ShaderPartGLTest, EachSourceReachesASampler)
{
    SavePicture("quarters.png", 16, 8, [](int x, int y) { return y < 4 ? (x < 8 ? Red : Green) : Blue; });
    // The lower rows show the source texel by texel; from row 30 up, its size in 1/1024.
    const std::string body =
        "    ivec2 size = textureSize(texTex1, 0);\n"
        "    ivec2 p = ivec2(gl_FragCoord.xy);\n"
        "    out_color = p.y >= 30 ? vec4(vec2(size) / 1024.0, 0.0, 1.0) : texelFetch(texTex1, p % size, 0);\n";
    const std::string shader = Showdown("uniform sampler2D texTex1;\n", body);
    const std::vector<unsigned char> noise = PatternTextures::NoiseTexels();
    const auto noiseAt = [&noise](int x, int y) {
        const unsigned char* texel = &noise[(static_cast<std::size_t>(y) * PatternTextures::NoiseSize + x) * 4];
        return Rgba{texel[0], texel[1], texel[2]};
    };
    const auto size = [](int w, int h) { return Rgba{Level(w / 1024.0), Level(h / 1024.0), 0}; };
    const struct
    {
        std::string source;
        std::vector<Probe> probes;
    } cases[] = {
        // Pictures are read top row first, as they look.
        {"quarters.png", {{0, 0, Blue}, {3, 7, Red}, {12, 6, Green}, {0, 31, size(16, 8)}}},
        {"noise", {{5, 9, noiseAt(5, 9)}, {50, 20, noiseAt(50, 20)}, {0, 31, size(256, 256)}}},
        {"checker", {{0, 0, Black}, {1, 0, {255, 255, 255}}, {9, 0, {255, 255, 255}}, {0, 31, size(8, 8)}}},
        // Silence: no spectrum in row 0, the wave's middle in row 1.
        {"music", {{3, 0, Black}, {3, 1, {128, 0, 0}}, {0, 31, size(512, 2)}}},
        // What was drawn below this frame: the background.
        {"screen", {{3, 3, Cyan}, {60, 20, Cyan}, {0, 31, size(64, 36)}}},
        // The part's own last frame, which starts transparent black.
        {"previous", {{3, 3, Black}, {0, 31, size(64, 36)}}},
    };
    UseSoundtrack("silence.wav", VexelTest::Samples(8 * MusicAnalysis::SampleRate, 0));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        std::unique_ptr<ShaderPart> part = Make(shader, {{"texTex1", QString::fromStdString(c.source)}});
        ASSERT_NE(part, nullptr);
        Draw(*part, 1.0, Cyan);
        ExpectProbes(c.probes, 1);
    }

    // Shadertoy's channels, with their sizes in iChannelResolution; an unbound channel reads black.
    std::unique_ptr<ShaderPart> toy =
        Make("void mainImage(out vec4 c, in vec2 p)\n{\n"
             "    c = p.x < 32.0 ? texture(iChannel1, vec2(0.6, 0.9)) + texture(iChannel0, vec2(0.5))\n"
             "                   : vec4(iChannelResolution[1].xy / 32.0, iChannelResolution[0].z, 1.0);\n}\n",
             {{"iChannel1", "quarters.png"}});
    ASSERT_NE(toy, nullptr);
    Draw(*toy, 1.0);
    ExpectProbes({{5, 5, Green}, {40, 5, {Level(0.5), Level(0.25), 0}}}, 2);
}

TEST_F(ShaderPartGLTest, ShadertoysMusicTextureHoldsTheSpectrumInRowZeroAndTheWaveInRowOne)
{
    // A sine on bin 100 from 5.2 s to 5.6 s, seen at 5.5 s: the part's
    // timeline time, not its running time. Column x shows texel 70 + x of
    // row 0 in the area's lower half, of row 1 in its upper half.
    constexpr int Rate = MusicAnalysis::SampleRate;
    VexelTest::Samples samples(8 * Rate, 0);
    VexelTest::AddTone(samples, Rate, 100.0 * Rate / WindowedFft::Size, 0.5, 5.2, 5.6);
    UseSoundtrack("tone.wav", samples);
    MusicFrames frames(MusicAnalysis::FromFile("tone.wav"));
    frames.MoveTo(5.5);
    std::unique_ptr<ShaderPart> part =
        Make("void mainImage(out vec4 c, in vec2 p)\n{\n"
             "    c = vec4(texelFetch(iChannel0, ivec2(70 + int(p.x), int(p.y) / 18), 0).r, 0.0, 0.0, 1.0);\n}\n",
             {{"iChannel0", "music"}});
    ASSERT_NE(part, nullptr);
    Draw(*part, 0.5);
    int loudest = 0;
    for (int row = 0; row < 2; ++row) {
        for (int x = 0; x < AreaWidth; ++x) {
            const int expected = frames.MusicTexture()[row * MusicFrames::MusicWidth + 70 + x];
            loudest = std::max(loudest, expected);
            EXPECT_TRUE(PixelNear(AreaPixel(x, row * 18), {expected, 0, 0}, 1))
                << "texel " << 70 + x << ", row " << row;
        }
    }
    // The sine shows, so the comparison is not of silence.
    EXPECT_GT(loudest, 200);
}

TEST_F(ShaderPartGLTest, FeedbackAndComputeImagesCarryOverFramesAndStartEmpty)
{
    // Each frame adds 16 levels to what the part showed the frame before.
    const std::string feedback =
        Showdown("uniform sampler2D texPreviousFrame;\n",
                 "    out_color = texelFetch(texPreviousFrame, ivec2(gl_FragCoord.xy), 0) + vec4(16.0 / 255.0);\n");
    // Red counts frames through the images; green is last frame's fragment
    // count over twice the area's pixels: a half when computeTex was cleared.
    const std::string compute =
        Showdown("layout(r32ui) uniform coherent uimage2D[3] computeTex;\n"
                 "layout(r32ui) uniform coherent uimage2D[3] computeTexBack;\n",
                 "    ivec2 p = ivec2(gl_FragCoord.xy);\n"
                 "    uint last = imageLoad(computeTexBack[0], p).r;\n"
                 "    imageStore(computeTex[0], p, uvec4(last + 1u));\n"
                 "    imageAtomicAdd(computeTex[1], ivec2(0), 1u);\n"
                 "    float counted = float(imageLoad(computeTexBack[1], ivec2(0)).r);\n"
                 "    out_color = vec4(float(last) * 16.0 / 255.0, counted / 4608.0, 0.0, 1.0);\n");
    const struct
    {
        std::string name;
        std::string shader;
        // The colour after frame n, from 0.
        Rgba (*after)(int frame);
    } cases[] = {
        {"feedback", feedback,
         [](int n) {
             return Rgba{16 * (n + 1), 16 * (n + 1), 16 * (n + 1)};
         }},
        {"compute", compute,
         [](int n) {
             return Rgba{16 * n, n == 0 ? 0 : 128, 0};
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ShaderPart> part = Make(c.shader);
        ASSERT_NE(part, nullptr);
        for (int round = 0; round < 2; ++round) {
            // A second start (as after a seek) begins from empty again.
            part->BeginPart();
            for (int frame = 0; frame < 4; ++frame) {
                Draw(*part, frame * 0.02);
                ExpectProbes({{7, 9, c.after(frame)}, {63, 35, c.after(frame)}}, 1);
                // Drawn again at the same moment (paused), it shows the same.
                Draw(*part, frame * 0.02, Black, 0.0);
                ExpectProbes({{7, 9, c.after(frame)}}, 1);
            }
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(ShaderPartGLTest, BlendModesAlphaAndTheAreaPutThePartOverWhatIsBelow)
{
    // Opaque orange with half alpha of its own.
    const std::string orange = Showdown("", "    out_color = vec4(1.0, 0.5, 0.0, 0.5);\n");
    const Rgba grey{100, 100, 100};
    const struct
    {
        std::string name;
        Params params;
        int areaX, areaY;
        bool direct;
        Rgba inside;
    } cases[] = {
        {"opaque", {}, 0, 0, true, {255, 128, 0}},
        // The shader's alpha times the part's.
        {"transcluent", {{"blending", "transcluent"}, {"alpha", "0.5"}}, 0, 0, false, {139, 107, 75}},
        {"additive", {{"blending", "additive"}, {"alpha", "0.5"}}, 0, 0, false, {164, 132, 100}},
        {"reversesubtractive", {{"blending", "reversesubtractive"}}, 0, 0, false, {0, 36, 100}},
        // An area that does not start at the framebuffer's corner, as a letterboxed window's.
        {"letterboxed", {}, 200, 100, false, {255, 128, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetArea(c.areaX, c.areaY);
        std::unique_ptr<ShaderPart> part = Make(orange, c.params);
        ASSERT_NE(part, nullptr);
        Draw(*part, 0.5, grey);
        EXPECT_EQ(part->DrewDirectly(), c.direct);
        ExpectProbes({{0, 0, c.inside}, {63, 35, c.inside}, {-1, 10, grey}, {64, 10, grey}, {10, 36, grey}});
    }

    // An animated alpha, over the part's running time.
    SetArea(0, 0);
    std::unique_ptr<ShaderPart> fading = Make(orange, {{"blending", "transcluent"}});
    ASSERT_NE(fading, nullptr);
    fading->mAnimations.resize(1);
    Animation::Source keys;
    keys.key = "alpha";
    keys.times = "0 2";
    keys.values = "0 1";
    std::string problem;
    ASSERT_TRUE(Animation::Parse(keys, "lib.Shader", "fx", nullptr, fading->mAnimations[0], problem)) << problem;
    Draw(*fading, 1.0, grey);
    ExpectProbes({{5, 5, {Level((100 * 0.75 + 255 * 0.25) / 255), Level((100 * 0.75 + 128 * 0.25) / 255), 75}}});
}

TEST_F(ShaderPartGLTest, AnimatedUniformsAndTimeAndValuesOfTheirOwnPerPart)
{
    const std::string shader =
        Showdown("uniform float fGlobalTime;\nuniform float speed = 0.25;\nuniform vec2 offset;\n",
                 "    out_color = vec4(speed, offset, fGlobalTime / 10.0);\n");
    SaveShader("fx.glsl", shader);
    const std::vector<Animation::Uniform> uniforms = ShaderPartSettings::AnimatableUniforms(ShaderSource(shader));
    const auto keyed = [&uniforms](const char* key, const char* values) {
        Animation::Source source;
        source.key = key;
        source.times = "1 3";
        source.values = values;
        Animation animation;
        std::string problem;
        EXPECT_TRUE(Animation::Parse(source, "lib.Shader", "fx", nullptr, uniforms, animation, problem)) << problem;
        return animation;
    };
    const struct
    {
        std::string name;
        Params params;
        std::vector<Animation> animations;
        double runningTime;
        Rgba color;
    } cases[] = {
        {"defaults", {}, {}, 2.0, {Level(0.25), 0, 0}},
        {"values", {{"speed", "0.5"}, {"offset", "0.1 0.9"}}, {}, 2.0, {Level(0.5), Level(0.1), Level(0.9)}},
        {"animated",
         {{"speed", "0.5"}},
         {keyed("speed", "0 1"), keyed("offset", "0 0; 1 0.5")},
         2.5,
         {Level(0.75), Level(0.75), Level(0.375)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ShaderPart> part = Make(shader, c.params);
        ASSERT_NE(part, nullptr);
        part->mAnimations = c.animations;
        Draw(*part, c.runningTime);
        ExpectProbes({{20, 20, c.color}});
    }
    // Slow motion: the shader's time runs from 4 to 6 over the keys' 2 s.
    const std::string timed = Showdown("uniform float fGlobalTime;\n", "    out_color = vec4(fGlobalTime / 10.0);\n");
    std::unique_ptr<ShaderPart> slow = Make(timed);
    ASSERT_NE(slow, nullptr);
    slow->mAnimations = {keyed("time", "4 6")};
    Draw(*slow, 2.0);
    ExpectProbes({{20, 20, {Level(0.5), Level(0.5), Level(0.5)}}});

    // Two parts of one file share its program, yet each draws with its own values.
    std::unique_ptr<ShaderPart> first = Make(shader, {{"speed", "1"}});
    const std::size_t programs = ProgramCache::Count();
    std::unique_ptr<ShaderPart> second = Make(shader, {});
    ASSERT_TRUE(first && second);
    EXPECT_EQ(ProgramCache::Count(), programs);
    Draw(*first, 1.0);
    Draw(*second, 1.0);
    ExpectProbes({{20, 20, {Level(0.25), 0, 0}}});
}

TEST_F(ShaderPartGLTest, WhatStopsAPartIsReportedNamingIt)
{
    SaveShader("show.glsl", Showdown("uniform float speed;\n", "    out_color = vec4(sped);\n"));
    SaveShader("plain.glsl", "float f() { return 1.0; }\n");
    SaveShader("good.glsl",
               Showdown("uniform vec3 tint;\nuniform sampler2D texTex1;\n", "    out_color = vec4(tint, 1.0);\n"));
    const std::string p = "part \"fx\": ";
    const struct
    {
        Params params;
        std::string what;
        Lines err;
    } cases[] = {
        {{{"shader", "show.glsl"}},
         p + "shader \"data/shaders/show.glsl\" does not compile",
         {"data/shaders/show.glsl:6:19: error: `sped' undeclared",
          "data/shaders/show.glsl:6:14: error: cannot construct `vec4' from a non-numeric data type"}},
        {{{"shader", "plain.glsl"}},
         p + "shader \"data/shaders/plain.glsl\" does not compile",
         {"data/shaders/plain.glsl:1:1: error: the shader defines neither main() (the showdown convention) nor "
          "mainImage() (the Shadertoy convention)"}},
        {{{"shader", "good.glsl"}, {"tint", "1 1"}, {"tnt", "1"}},
         p + "\"tint\" is a vec3 uniform: write 3 numbers, not \"1 1\"",
         {"Warning: " + p + "unknown parameter \"tnt\" for lib.Shader: the shader declares no uniform \"tnt\""}},
        {{{"shader", "good.glsl"}, {"texTex1", "absent.png"}},
         "Cannot load image!",
         {"SDL could not load data/textures/absent.png: Couldn't open data/textures/absent.png"}},
    };
    // Morvelin's report of a Shadertoy file's errors and of a missing file is checked end to end.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const VexelTest::Captured captured = Capture([&] { ShaderPart(mApp.get(), 0.0, 1.0, 1, "fx", {}, c.params); });
        ASSERT_TRUE(captured.Threw());
        EXPECT_EQ(captured.What(), c.what);
        EXPECT_EQ(captured.ErrLines(), c.err);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
