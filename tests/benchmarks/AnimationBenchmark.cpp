// The cost per frame of running parts with and without animations. Only the
// timeline's update is measured: drawing needs a GL context and is the same
// whether a value came from a parameter or from keys.

#include "AnimationKeys.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/DemoParts/ClearScreen.h"
#include "MutedCout.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using VexelTest::MutedCout;

// Takes what a picture can animate without the picture: the values land in
// members, as the image part's do before it rebuilds its quad.
class ValuesPart : public virtual DemoPart
{
public:
    ValuesPart() : DemoPart(nullptr, 0.0, 1e12, 0, "values", {}, {}, "ValuesPart") {}
    void UpdateDemoPart(double, double runningTime, double) override
    {
        for (const Animation& animation : mAnimations) {
            mValues[static_cast<int>(animation.mTarget)] = animation.Evaluate(runningTime).x;
        }
        benchmark::DoNotOptimize(mValues);
    }
    void RenderDemoPart(double, double, double) override {}
    DemoPart* Clone() override { return new ValuesPart(); }
    float mValues[7] = {};
};

// Keys the benchmark needs are always taken; a refusal would measure nothing.
Animation Make(const char* className, const char* key, const char* times, const char* values)
{
    Animation animation;
    const std::string problem = VexelTest::ParseKeys(animation, className, key, times, values, "smooth");
    if (!problem.empty()) {
        std::cerr << problem << std::endl;
        std::abort();
    }
    return animation;
}

// range(0): parts; range(1): 1 to animate them; range(2): 0 clear-screen
// parts (one colour animation), 1 parts with all six picture keys, 8 keys each.
void UpdateAnimatedParts(benchmark::State& state)
{
    const auto count = static_cast<int>(state.range(0));
    const bool animated = state.range(1) != 0;
    const bool pictureKeys = state.range(2) != 0;
    const char* times = "0 1 2 3 4 5 6 7";
    std::vector<Animation> animations;
    if (pictureKeys) {
        for (const char* key : {"alpha", "rotate", "relativeWidth", "relativeHeight", "relativeX", "relativeY"}) {
            animations.push_back(Make("lib.Image", key, times, "0 1 0 1 0 1 0 1"));
        }
    } else {
        animations.push_back(Make("lib.ClearScreen", "color", "0 2 4 6", "0 0 0; 255 0 0; 0 255 0; 0 0 255"));
    }
    auto model = std::make_unique<DemoModel>();
    {
        MutedCout muted;
        for (int i = 0; i < count; ++i) {
            DemoPart* part = pictureKeys ? static_cast<DemoPart*>(new ValuesPart())
                                         : new ClearScreen(nullptr, 0.0, 1e12, 0, "clear", {},
                                                           {DemoPartParam("color", "1 2 3")});
            if (animated) {
                part->mAnimations = animations;
            }
            model->AddPart(part);
        }
        model->Update(0.001);
    }
    // 60 frames a second, so the running time walks through every span.
    for (auto _ : state) {
        benchmark::DoNotOptimize(model->Update(1.0 / 60.0));
    }
    state.counters["per_part"] =
        benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    MutedCout muted;
    model.reset();
}
BENCHMARK(UpdateAnimatedParts)
    ->ArgNames({"parts", "animated", "pictureKeys"})
    ->ArgsProduct({{1000}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
