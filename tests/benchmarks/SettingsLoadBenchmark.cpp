// Loading a settings file of many parts through the real loader and factory.
// Needs a display (run under xvfb-run) and SDL_AUDIODRIVER=dummy.
#include "Audio/Audio2d.h"
#include "Halvorn/DemoApp.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/DemoSettingsLoaderXml.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>

namespace {

// The loader's log, as with standard output sent to /dev/null.
class MutedCout
{
public:
    MutedCout() : mSaved(std::cout.rdbuf(&mNull)) {}
    ~MutedCout() { std::cout.rdbuf(mSaved); }

private:
    class NullBuffer : public std::streambuf
    {
    protected:
        int overflow(int c) override { return traits_type::not_eof(c); }
    };
    NullBuffer mNull;
    std::streambuf* mSaved;
};

DemoApp* App()
{
    static DemoApp* app = [] {
        MutedCout muted;
        return new DemoApp(0, nullptr, "Load", "1", 1280, 720, 16.0f / 9.0f, true, 3, 3);
    }();
    return app;
}

// count ClearScreen parts, one after another on the timeline.
QString WriteSettings(const QTemporaryDir& dir, int count)
{
    const QString file = dir.filePath(QString("parts%1.xml").arg(count));
    std::ofstream out(file.toStdString());
    out << "<Halvorn-demo-settings><soundtrack file=\"none.ogg\"/><demoparts>\n";
    for (int i = 0; i < count; ++i) {
        out << "<part name=\"clear" << i << "\" class=\"lib.ClearScreen\" start=\"" << i * 0.01
            << "\" length=\"0.01\" priority=\"" << i % 7 << "\"><param color=\"10 20 30\"/></part>\n";
    }
    out << "</demoparts></Halvorn-demo-settings>\n";
    return file;
}

void LoadClearScreenParts(benchmark::State& state)
{
    const auto count = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    const QString file = WriteSettings(dir, count);
    DemoApp* app = App();
    for (auto _ : state) {
        auto model = std::make_unique<DemoModel>();
        {
            MutedCout muted;
            DemoSettingsLoaderXml().Load(file, model.get(), app);
        }
        state.PauseTiming();
        {
            MutedCout muted;
            model.reset();
        }
        state.ResumeTiming();
    }
    state.counters["per_part"] =
        benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetComplexityN(count);
}
BENCHMARK(LoadClearScreenParts)
    ->Arg(10000)
    ->Arg(30000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->Complexity(benchmark::oN);

} // namespace

BENCHMARK_MAIN();
