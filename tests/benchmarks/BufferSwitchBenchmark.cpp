// The engine's CPU cost of drawing into buffers: a frame of N ClearScreen
// parts that alternate between a buffer and the screen (N switches of the
// draw target, each binding a framebuffer, a viewport and the scissor),
// beside the same N parts all on the screen, with and without a buffer in
// the timeline, and beside a bare loop doing the least such a frame must
// (bind, set the viewport, clear, N times). The area is one pixel, so
// drawing itself costs next to nothing: (Switching - OnScreen) / N is what
// one switch costs, (Switching - BareSwitching) / N the engine's share.
// Needs a display: xvfb-run -a build/release/tests/benchmarks/BufferSwitchBenchmark
#include "Audio/Audio2d.h"
#include "Halvorn/DemoApp.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/DemoSettingsLoaderXml.h"
#include "MutedCout.h"
#include "TextureTarget.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace {

using VexelTest::MutedCout;

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
        mApp->mDrawTarget.mArea = Rect<int>(0, 0, 1, 1);
    }
    ~Fixture()
    {
        MutedCout muted;
        Audio2d* audio = mApp->mAudio;
        mApp.reset();
        delete audio;
    }

    // A timeline of count ClearScreen parts; every other one draws into the
    // buffer when switching, and the buffer is defined when withBuffer.
    void Load(int count, bool switching, bool withBuffer)
    {
        std::string parts;
        for (int i = 0; i < count; ++i) {
            const bool intoBuffer = switching && i % 2 == 0;
            parts += "<part start=\"0\" end=\"1e9\" name=\"p" + std::to_string(i) +
                     "\" class=\"lib.ClearScreen\" priority=\"" + std::to_string(i) + "\"><param color=\"1 2 3\"" +
                     (intoBuffer ? " target=\"b\"" : "") + "/></part>";
        }
        const std::string file = (mFolder.path() + "/bench.xml").toStdString();
        std::ofstream(file, std::ios::trunc) << "<Halvorn-demo-settings><soundtrack file=\"none.ogg\"/>" +
                                                    std::string(withBuffer ? "<buffer name=\"b\"/>" : "") +
                                                    "<demoparts>" + parts + "</demoparts></Halvorn-demo-settings>";
        MutedCout muted;
        auto* model = new DemoModel;
        model->mQuiet = true;
        DemoSettingsLoaderXml().Load(QString::fromStdString(file), model, mApp.get());
        delete mApp->mModel;
        mApp->mModel = model;
    }

    DemoApp& App() { return *mApp; }

private:
    QTemporaryDir mFolder;
    std::unique_ptr<DemoApp> mApp;
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

void Frames(benchmark::State& state, bool switching, bool withBuffer)
{
    const int count = static_cast<int>(state.range(0));
    Shared().Load(count, switching, withBuffer);
    DemoApp& app = Shared().App();
    long frames = 0;
    for (auto _ : state) {
        app.mModel->Update(1.0 / 60.0);
        app.RenderParts(1.0 / 60.0);
        // Keeps the driver's queue short, as a frame's swap would.
        if (++frames % 64 == 0) {
            glFinish();
        }
    }
    glFinish();
    state.counters["switches"] = switching ? count : 0;
}

// Every other part in the buffer: count switches a frame.
void Switching(benchmark::State& state)
{
    Frames(state, true, true);
}
// The same parts on the screen, with a buffer in the timeline that nothing draws into.
void OnScreen(benchmark::State& state)
{
    Frames(state, false, true);
}
// And without any buffer: the timeline as it was before buffers.
void WithoutBuffers(benchmark::State& state)
{
    Frames(state, false, false);
}
// What any program pays for the same switches: bind, viewport, clear.
void BareSwitching(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    Shared().Load(0, false, false);
    const TextureTarget target(1, 1);
    long frames = 0;
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) {
            glBindFramebuffer(GL_FRAMEBUFFER, i % 2 == 0 ? target.Framebuffer() : 0);
            glViewport(0, 0, 1, 1);
            glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        }
        if (++frames % 64 == 0) {
            glFinish();
        }
    }
    glFinish();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    state.counters["switches"] = count;
}
BENCHMARK(Switching)->Arg(2)->Arg(8)->Arg(32);
BENCHMARK(BareSwitching)->Arg(2)->Arg(8)->Arg(32);
BENCHMARK(OnScreen)->Arg(2)->Arg(8)->Arg(32);
BENCHMARK(WithoutBuffers)->Arg(2)->Arg(8)->Arg(32);

} // namespace

BENCHMARK_MAIN();
