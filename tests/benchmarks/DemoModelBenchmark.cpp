#include "Halvorn/DemoModel.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <random>
#include <streambuf>
#include <vector>

namespace {

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

// The timeline's move lines and status reports would swamp the figures.
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

// Loading: range(1) is 0 for parts in start order (as settings files are
// usually written), 1 for shuffled starts.
void AddParts(benchmark::State& state)
{
    const auto count = static_cast<int>(state.range(0));
    std::vector<double> starts(count);
    for (int i = 0; i < count; ++i) {
        starts[i] = i * 0.5;
    }
    if (state.range(1) != 0) {
        std::shuffle(starts.begin(), starts.end(), std::mt19937(42));
    }
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
    std::vector<double> starts(count);
    for (int i = 0; i < count; ++i) {
        starts[i] = i * 0.5;
    }
    if (state.range(1) != 0) {
        std::shuffle(starts.begin(), starts.end(), std::mt19937(42));
    }
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
