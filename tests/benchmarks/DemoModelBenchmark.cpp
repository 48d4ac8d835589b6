#include "Halvorn/DemoModel.h"

#include "MutedCout.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace {

using VexelTest::MutedCout;

class NoOpPart : public virtual DemoPart
{
public:
    NoOpPart(double start, double end, unsigned int priority)
        : DemoPart(nullptr, start, end, priority, "noop", {}, {}, "NoOpPart")
    {
    }
    void UpdateDemoPart(double, double, double) override {}
    void RenderDemoPart(double, double, double) override {}
    DemoPart* Clone() override { return new NoOpPart(mStart, mEnd, mPriority); }
};

// One frame with every part running; priorities are mixed so the sort has work.
void UpdateRunningParts(benchmark::State& state)
{
    const auto count = static_cast<int>(state.range(0));
    auto model = std::make_unique<DemoModel>();
    {
        MutedCout muted;
        for (int i = 0; i < count; ++i) {
            model->AddPart(new NoOpPart(0.0, 1e12, static_cast<unsigned int>(i * 7919 % 16)));
        }
        model->Update(0.001);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(model->Update(0.001));
    }
    state.counters["per_part"] =
        benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    MutedCout muted;
    model.reset();
}
BENCHMARK(UpdateRunningParts)->Arg(10)->Arg(100)->Arg(1000);

// Half a second apart, in order or shuffled the same way every run.
std::vector<double> Starts(int count, bool shuffled)
{
    std::vector<double> starts(count);
    for (int i = 0; i < count; ++i) {
        starts[i] = i * 0.5;
    }
    if (shuffled) {
        std::shuffle(starts.begin(), starts.end(), std::mt19937(42));
    }
    return starts;
}

// Loading: range(1) is 0 for parts in start order (as settings files are
// usually written), 1 for shuffled starts.
void AddParts(benchmark::State& state)
{
    const auto count = static_cast<int>(state.range(0));
    const std::vector<double> starts = Starts(count, state.range(1) != 0);
    MutedCout muted;
    for (auto _ : state) {
        state.PauseTiming();
        auto model = std::make_unique<DemoModel>();
        std::vector<DemoPart*> parts;
        parts.reserve(count);
        for (double start : starts) {
            parts.push_back(new NoOpPart(start, start + 1.0, 0));
        }
        state.ResumeTiming();
        for (DemoPart* part : parts) {
            model->AddPart(part);
        }
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
    state.counters["per_part"] =
        benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetComplexityN(count);
}
BENCHMARK(AddParts)->ArgsProduct({{1000, 10000}, {0, 1}})->Unit(benchmark::kMicrosecond);

// For comparison only: appending and re-sorting the whole list on every
// insertion gives the same order at a far higher price.
void AddPartsResortingEveryTime(benchmark::State& state)
{
    const auto count = static_cast<int>(state.range(0));
    const std::vector<double> starts = Starts(count, state.range(1) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        boost::ptr_list<DemoPart> parts;
        std::vector<DemoPart*> fresh;
        for (double start : starts) {
            fresh.push_back(new NoOpPart(start, start + 1.0, 0));
        }
        state.ResumeTiming();
        for (DemoPart* part : fresh) {
            parts.push_back(part);
            parts.sort([](const DemoPart& a, const DemoPart& b) { return a.mStart < b.mStart; });
        }
        state.PauseTiming();
        parts.clear();
        state.ResumeTiming();
    }
    state.counters["per_part"] =
        benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(AddPartsResortingEveryTime)->ArgsProduct({{1000}, {0, 1}})->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
