// The engine's own CPU cost of a lib.Shader part per frame, beside a bare
// program doing the least a frame must (use the program, set its time,
// draw), and of every music input a frame can read. The area is one pixel,
// so the shading itself costs next to nothing.
// Needs a display: xvfb-run -a build/release/tests/benchmarks/ShaderPartBenchmark
#include "Audio/Audio2d.h"
#include "Audio/SoundtrackAnalysis.h"
#include "Halvorn/DemoApp.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/DemoParts/ShaderPart.h"
#include "Halvorn/Reaction.h"
#include "Halvorn/ShaderPartProgram.h"
#include "MusicTextures.h"
#include "MutedCout.h"
#include "ShaderProgram.h"
#include "TestSounds.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace {

using VexelTest::MutedCout;

// As a live coder writes one: the usual uniforms, the spectrum, the noise,
// the previous frame and two numbers of its own, one animated.
const char* const Showdown =
    "#version 410 core\n"
    "uniform float fGlobalTime;\n"
    "uniform float fFrameTime;\n"
    "uniform vec2 v2Resolution;\n"
    "uniform sampler1D texFFT;\n"
    "uniform sampler2D texNoise;\n"
    "uniform sampler2D texPreviousFrame;\n"
    "uniform float speed;\n"
    "uniform vec3 tint;\n"
    "layout(location = 0) out vec4 out_color;\n"
    "void main()\n"
    "{\n"
    "    vec2 uv = gl_FragCoord.xy / v2Resolution;\n"
    "    out_color = vec4(tint * texture(texNoise, uv).r + texture(texFFT, uv.x).r, fFrameTime)\n"
    "              + 0.5 * texture(texPreviousFrame, uv) + sin(fGlobalTime * speed);\n"
    "}\n";
const char* const Shadertoy = "void mainImage(out vec4 fragColor, in vec2 fragCoord)\n"
                              "{\n"
                              "    vec2 uv = fragCoord / iResolution.xy;\n"
                              "    fragColor = texture(iChannel0, uv) + vec4(iTime, iTimeDelta, float(iFrame), 1.0)\n"
                              "              + iDate + iMouse + vec4(iChannelResolution[0], iChannelTime[0]);\n"
                              "}\n";

class Fixture
{
public:
    Fixture()
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        MutedCout muted;
        WindowPlacement hidden;
        hidden.mMode = WindowPlacement::Hidden;
        mApp = std::make_unique<DemoApp>(0, nullptr, "bench", "1", 64, 64, 1.0f, true, 3, 3, hidden);
        QDir(mFolder.path()).mkpath("data/shaders");
        mApp->SetDataRoot(mFolder.path());
        // A minute of a click track over a low tone, as the soundtrack.
        VexelTest::Samples minute = VexelTest::ClickTrack(128.0, 4, 0.1, 60.0);
        VexelTest::AddTone(minute, 44100, 110.0, 0.3, 0.0, 60.0);
        std::ofstream((mFolder.path() + "/minute.wav").toStdString(), std::ios::binary)
            << VexelTest::WavBytes(minute, 1, 44100);
        mApp->mModel->mSoundtrackFile = "minute.wav";
        std::ofstream((mFolder.path() + "/data/shaders/showdown.glsl").toStdString()) << Showdown;
        std::ofstream((mFolder.path() + "/data/shaders/toy.glsl").toStdString()) << Shadertoy;
        mApp->mDrawTarget.mArea = Rect<int>(0, 0, 1, 1);
    }
    ~Fixture()
    {
        MutedCout muted;
        Audio2d* audio = mApp->mAudio;
        mApp.reset();
        delete audio;
    }

    std::unique_ptr<ShaderPart> Part(const std::vector<DemoPartParam>& params)
    {
        MutedCout muted;
        auto part =
            std::make_unique<ShaderPart>(mApp.get(), 0.0, 1e9, 1, "bench", std::vector<DemoPartParam>(), params);
        part->mAnimations.resize(1);
        Animation::Source source;
        source.key = "speed";
        source.times = "0 10 20";
        source.values = "1 2 1";
        std::string problem;
        Animation::Parse(source, "lib.Shader", "bench", nullptr, {{"speed", 1}}, part->mAnimations[0], problem);
        part->BeginPart();
        return part;
    }

    DemoApp& App() { return *mApp; }
    QString ShaderPath() const { return mFolder.path() + "/data/shaders/"; }

private:
    QTemporaryDir mFolder;
    std::unique_ptr<DemoApp> mApp;
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

const std::vector<DemoPartParam> ShowdownParams = {{"shader", "showdown.glsl"}, {"speed", "1.5"}, {"tint", "1 0.5 0"}};
const std::vector<DemoPartParam> ShadertoyParams = {{"shader", "toy.glsl"}, {"iChannel0", "noise"}};

// Only the update: times, animations, the date.
void Update(benchmark::State& state)
{
    std::unique_ptr<ShaderPart> part = Shared().Part(ShowdownParams);
    double time = 0.0;
    for (auto _ : state) {
        time += 1.0 / 60.0;
        part->UpdateDemoPart(1.0 / 60.0, time, time);
    }
}
BENCHMARK(Update);

// A whole frame: the update, then setting every uniform, binding the
// textures and drawing (into its own texture, then over the target).
void Frame(benchmark::State& state, const std::vector<DemoPartParam>& params)
{
    std::unique_ptr<ShaderPart> part = Shared().Part(params);
    double time = 0.0;
    long frames = 0;
    for (auto _ : state) {
        time += 1.0 / 60.0;
        part->UpdateDemoPart(1.0 / 60.0, time, time);
        part->RenderDemoPart(1.0 / 60.0, time, time);
        // Keeps the driver's queue short, as a frame's swap would.
        if (++frames % 64 == 0) {
            glFinish();
        }
    }
    glFinish();
}
BENCHMARK_CAPTURE(Frame, Showdown, ShowdownParams);
BENCHMARK_CAPTURE(Frame, Shadertoy, ShadertoyParams);
BENCHMARK_CAPTURE(Frame, ShadertoyHalfResolution,
                  std::vector<DemoPartParam>{{"shader", "toy.glsl"}, {"iChannel0", "noise"}, {"resolution", "0.5"}});

// What any program must do for such a frame: use the program, set the time,
// draw. The difference to Frame is the engine's own cost.
void BareFrame(benchmark::State& state)
{
    std::unique_ptr<ShaderPart> keep = Shared().Part(ShadertoyParams);
    std::vector<Diagnostic> problems;
    std::string text;
    std::string error;
    ShaderSource::ReadFile(Shared().ShaderPath() + "toy.glsl", text, error);
    const std::shared_ptr<ShaderProgram> program =
        ShaderPartProgram::Acquire(Shared().ShaderPath() + "toy.glsl", ShaderSource(text), "toy.glsl", problems);
    GLuint vertexArray = 0;
    glGenVertexArrays(1, &vertexArray);
    const GLint location = glGetUniformLocation(program->mHandle, "iTime");
    double time = 0.0;
    long frames = 0;
    glViewport(0, 0, 1, 1);
    for (auto _ : state) {
        time += 1.0 / 60.0;
        glUseProgram(program->mHandle);
        glUniform1f(location, static_cast<float>(time));
        glBindVertexArray(vertexArray);
        glDrawArrays(GL_TRIANGLES, 0, 3);
        if (++frames % 64 == 0) {
            glFinish();
        }
    }
    glFinish();
    glDeleteVertexArrays(1, &vertexArray);
}
BENCHMARK(BareFrame);

// Every music input of a frame together: the four textures brought to the
// frame's time (asked for by each of `parts` shader parts, as each does
// before it draws) and four reacting keys' values. range(0): frames per
// second, 0 for a seek to somewhere else every frame.
void MusicInputs(benchmark::State& state)
{
    std::unique_ptr<ShaderPart> reader = Shared().Part(ShowdownParams);
    const std::shared_ptr<SoundtrackAnalysis> music = Shared().App().GetAnalysedSoundtrack();
    const std::shared_ptr<MusicTextures> textures = MusicTextures::Acquire();
    const double bands[4][4] = {
        {40, 160, 0.01, 0.25}, {200, 2000, 0, 0.1}, {2000, 8000, 0, 0.1}, {20, 20000, 0.05, 0.5}};
    std::vector<Reaction> reactions(4);
    for (int i = 0; i < 4; ++i) {
        reactions[i].mLowHz = bands[i][0];
        reactions[i].mHighHz = bands[i][1];
        reactions[i].mAttack = bands[i][2];
        reactions[i].mRelease = bands[i][3];
        reactions[i].mTo = glm::vec4(1.0f);
        reactions[i].Listen(*music->Get());
    }
    const double fps = static_cast<double>(state.range(0));
    const long parts = state.range(1);
    long frame = 0;
    std::uint32_t jump = 7;
    for (auto _ : state) {
        double time = 0.0;
        if (fps > 0.0) {
            time = 1.0 + static_cast<double>(frame % static_cast<long>(50 * fps)) / fps;
        } else {
            jump = jump * 1664525u + 1013904223u;
            time = 1.0 + (jump >> 8) % 5000000 / 1e5;
        }
        for (long part = 0; part < parts; ++part) {
            textures->Update(music, time);
        }
        float sum = 0.0f;
        for (const Reaction& reaction : reactions) {
            sum += reaction.ValueAt(time).x;
        }
        benchmark::DoNotOptimize(sum);
        if (++frame % 64 == 0) {
            glFinish();
        }
    }
    glFinish();
}
BENCHMARK(MusicInputs)
    ->ArgNames({"fps", "parts"})
    ->Args({60, 1})
    ->Args({60, 4})
    ->Args({30, 1})
    ->Args({0, 1})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
