#include "Audio/BandEnvelope.h"

#include "AssertException.h"
#include "Audio/MusicAnalysis.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double StepSeconds = 1.0 / MusicAnalysis::StepsPerSecond;

float Follow(double seconds)
{
    return seconds > 0.0 ? static_cast<float>(1.0 - std::exp(-StepSeconds / seconds)) : 1.0f;
}

} // namespace

BandEnvelope::BandEnvelope(const MusicAnalysis& analysis, double lowHz, double highHz, double attack, double release)
    : mRelease(release)
{
    BOOST_ASSERT(lowHz < highHz && attack >= 0.0 && release >= 0.0);
    const double binHz = static_cast<double>(MusicAnalysis::SampleRate) / WindowedFft::Size;
    mFirstBin = static_cast<int>(std::ceil(lowHz / binHz));
    mLastBin = static_cast<int>(std::floor(highHz / binHz));
    if (mFirstBin > mLastBin) {
        mFirstBin = mLastBin = static_cast<int>(std::lround((lowHz + highHz) / 2.0 / binHz));
    }
    mFirstBin = std::clamp(mFirstBin, 0, WindowedFft::Bins - 1);
    mLastBin = std::clamp(mLastBin, mFirstBin, WindowedFft::Bins - 1);

    const std::int64_t lastStep = analysis.LastStep();
    mSteps.resize(static_cast<std::size_t>(lastStep + 1));
    float loudest = 0.0f;
    for (std::int64_t step = 0; step <= lastStep; ++step) {
        mSteps[step] = analysis.BandAmplitude(step, mFirstBin, mLastBin);
        loudest = std::max(loudest, mSteps[step]);
    }
    const float rise = Follow(attack);
    const float fall = Follow(release);
    float envelope = 0.0f;
    for (float& value : mSteps) {
        const float level = loudest > 0.0f ? value / loudest : 0.0f;
        envelope += (level > envelope ? rise : fall) * (level - envelope);
        value = envelope;
    }
}

float BandEnvelope::At(double time) const
{
    const std::int64_t end = MusicAnalysis::SampleAt(time);
    if (end <= 0) {
        return 0.0f;
    }
    const auto lastStep = static_cast<std::int64_t>(mSteps.size()) - 1;
    const std::int64_t step = std::min<std::int64_t>(end / MusicAnalysis::StepSamples, lastStep);
    const double part = static_cast<double>(end - step * MusicAnalysis::StepSamples) / MusicAnalysis::StepSamples;
    if (step == lastStep) {
        // Silence from here on: the envelope falls.
        const double fade = mRelease > 0.0 ? std::exp(-part * StepSeconds / mRelease) : 0.0;
        return static_cast<float>(mSteps[step] * fade);
    }
    return static_cast<float>(mSteps[step] + part * (mSteps[step + 1] - mSteps[step]));
}
