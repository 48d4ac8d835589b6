// The cost per frame of text parts, drawn offscreen at 1280x720 with
// glFinish so the GL's own work is counted: a scroller of 10,000 letters
// crossing the whole width, and 50 captions standing still, each beside an
// empty frame (the clear alone) measured the same way. The counters give the
// bytes of the glyph atlases alive and the glyphs drawn per frame.
//
//   build/release/tests/benchmarks/TextBenchmark   (needs a display: xvfb-run -a)

#include "Halvorn/DemoApp.h"
#include "Halvorn/DemoParts/TextPart.h"
#include "MutedCout.h"
#include "RenderTarget.h"
#include "Text/GlyphAtlasTexture.h"

#include <GL/glew.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int Width = 1280;
constexpr int Height = 720;

DemoApp& App()
{
    static std::unique_ptr<DemoApp> sApp;
    if (!sApp) {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        WindowPlacement hidden;
        hidden.mMode = WindowPlacement::Hidden;
        hidden.mWidth = 64;
        hidden.mHeight = 64;
        VexelTest::MutedCout muted;
        sApp = std::make_unique<DemoApp>(0, nullptr, "TextBenchmark", "1", Width, Height, 16.0f / 9.0f, true, 3, 3,
                                         hidden);
    }
    return *sApp;
}

std::vector<std::unique_ptr<TextPart>> Make(const std::vector<std::vector<DemoPartParam>>& texts)
{
    VexelTest::MutedCout muted;
    std::vector<std::unique_ptr<TextPart>> parts;
    for (const auto& params : texts) {
        parts.emplace_back(new TextPart(&App(), 0.0, 1e9, 1, "text", {}, params));
        parts.back()->Prepare();
    }
    return parts;
}

// Frames at 60 per second from the part's start; range(0) 0 draws nothing.
void Frames(benchmark::State& state, const std::vector<std::unique_ptr<TextPart>>& parts)
{
    RenderTarget target(Width, Height);
    target.Bind();
    const bool draw = state.range(0) != 0;
    double time = 1.0;
    long glyphs = 0;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (const auto& part : parts) {
            if (draw) {
                part->UpdateDemoPart(1.0 / 60.0, time, time);
                part->RenderDemoPart(1.0 / 60.0, time, time);
                for (const glm::ivec2& run : part->mVisible) {
                    glyphs += run.y;
                }
            }
        }
        glFinish();
        time += 1.0 / 60.0;
    }
    target.Unbind();
    state.counters["atlasBytes"] = static_cast<double>(GlyphAtlasTexture::TotalBytes());
    state.counters["glyphsPerFrame"] =
        benchmark::Counter(static_cast<double>(glyphs), benchmark::Counter::kAvgIterations);
}

void Scroller(benchmark::State& state)
{
    std::string text;
    while (text.size() < 10000) {
        text += "greetings to everyone at the party! ";
    }
    text.resize(10000);
    // Full-screen: letters as high as the window, with an outline and a wave.
    const auto parts = Make({{{"text", QString::fromStdString(text)},
                              {"size", "600"},
                              {"scroll", "900"},
                              {"outline", "8"},
                              {"wave", "20 1 0.3"}}});
    Frames(state, parts);
}

void Captions(benchmark::State& state)
{
    std::vector<std::vector<DemoPartParam>> texts;
    for (int i = 0; i < 50; ++i) {
        texts.push_back({{"text", QStringLiteral("Caption number %1, standing still").arg(i)},
                         {"size", "24"},
                         {"relativeX", QString::number(0.25 + 0.5 * (i % 2))},
                         {"relativeY", QString::number(0.02 + 0.04 * (i / 2))},
                         {"shadow", "2 2"}});
    }
    const auto parts = Make(texts);
    Frames(state, parts);
}

} // namespace

BENCHMARK(Scroller)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(Captions)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
