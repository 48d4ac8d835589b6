// What the soundtrack's analysis costs: once at load, per minute of music
// (decoding the bundled demo's Ogg Vorbis, and the analysis of samples), and
// per frame, for every input a part can read at a time (the three spectrum
// arrays, the music texture and four band envelopes), playing at 60 and
// 30 fps and on the frame after a seek.

#include "Audio/BandEnvelope.h"
#include "Audio/MusicAnalysis.h"
#include "Audio/MusicFrames.h"
#include "Audio/SoundtrackDecoder.h"
#include "TestSounds.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr int Rate = MusicAnalysis::SampleRate;

// A minute of something like music: noise bursts on the beat over two tones.
VexelTest::Samples Minute()
{
    VexelTest::Samples samples(60 * Rate, 0);
    std::uint32_t noise = 1;
    for (std::size_t n = 0; n < samples.size(); ++n) {
        noise = noise * 1664525u + 1013904223u;
        const double beat = static_cast<double>(n % (Rate / 2)) / Rate;
        samples[n] =
            VexelTest::SampleOf(0.3 * std::exp(-beat / 0.05) * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5));
    }
    VexelTest::AddTone(samples, Rate, 110.0, 0.3, 0.0, 60.0);
    VexelTest::AddTone(samples, Rate, 1320.0, 0.1, 0.0, 60.0);
    return samples;
}

const std::shared_ptr<const MusicAnalysis>& SharedMinute()
{
    static const std::shared_ptr<const MusicAnalysis> Analysis = std::make_shared<const MusicAnalysis>(Minute());
    return Analysis;
}

// Seconds of work per minute of music, shown as "per_minute=94m" for 94 ms.
void PerMinute(benchmark::State& state, double seconds)
{
    state.counters["per_minute"] =
        benchmark::Counter(seconds / 60.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void DecodeDemoSoundtrack(benchmark::State& state)
{
    const std::string file = VEXEL_DEMO_DIR "/data/music/morvelin.ogg";
    double seconds = 0.0;
    for (auto _ : state) {
        const std::vector<std::int16_t> samples =
            DecodeSoundtrack(file, 0.0, std::numeric_limits<double>::infinity(), Rate, 1);
        seconds = static_cast<double>(samples.size()) / Rate;
        benchmark::DoNotOptimize(samples.data());
    }
    PerMinute(state, seconds);
}
BENCHMARK(DecodeDemoSoundtrack)->Unit(benchmark::kMillisecond);

void AnalyseSamples(benchmark::State& state)
{
    const VexelTest::Samples samples = Minute();
    for (auto _ : state) {
        const MusicAnalysis analysis(samples);
        benchmark::DoNotOptimize(analysis.LastStep());
    }
    PerMinute(state, 60.0);
    state.counters["MB_per_minute"] = static_cast<double>(MusicAnalysis(samples).Bytes()) / 1e6;
}
BENCHMARK(AnalyseSamples)->Unit(benchmark::kMillisecond);

// range(0): frames per second, 0 for a seek to somewhere else every frame.
void EveryInputAtAFrame(benchmark::State& state)
{
    const std::shared_ptr<const MusicAnalysis>& analysis = SharedMinute();
    MusicFrames frames(analysis);
    const BandEnvelope bands[] = {
        BandEnvelope(*analysis, 40, 160, 0.01, 0.25), BandEnvelope(*analysis, 200, 2000, 0.0, 0.1),
        BandEnvelope(*analysis, 2000, 8000, 0.0, 0.1), BandEnvelope(*analysis, 20, 20000, 0.05, 0.5)};
    const double fps = static_cast<double>(state.range(0));
    long frame = 0;
    std::uint32_t jump = 7;
    for (auto _ : state) {
        double time = 0.0;
        if (fps > 0.0) {
            time = 1.0 + static_cast<double>(frame++ % static_cast<long>(50 * fps)) / fps;
        } else {
            jump = jump * 1664525u + 1013904223u;
            time = 1.0 + (jump >> 8) % 5000000 / 1e5;
        }
        frames.MoveTo(time);
        float sum = frames.Fft()[10] + frames.Smoothed()[10] + frames.Integrated()[10] + frames.MusicTexture()[10];
        for (const BandEnvelope& band : bands) {
            sum += band.At(time);
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(EveryInputAtAFrame)->ArgName("fps")->Arg(60)->Arg(30)->Arg(0)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
