#include "Audio/MusicFrames.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int Rate = MusicAnalysis::SampleRate;
constexpr int StepSamples = MusicAnalysis::StepSamples;

// Web Audio's byte for a smoothed magnitude.
std::uint8_t SpectrumByte(float magnitude)
{
    if (!(magnitude > 0.0f)) {
        return 0;
    }
    const double decibels = 20.0 * std::log10(magnitude);
    const double scaled = std::floor(255.0 / (MusicFrames::MaxDecibels - MusicFrames::MinDecibels) *
                                     (decibels - MusicFrames::MinDecibels));
    return static_cast<std::uint8_t>(std::clamp(scaled, 0.0, 255.0));
}

// Web Audio's byte for a sample.
std::uint8_t WaveformByte(std::int16_t sample)
{
    return static_cast<std::uint8_t>(std::clamp(128 + static_cast<int>(std::floor(sample / 256.0)), 0, 255));
}

} // namespace

MusicFrames::MusicFrames(std::shared_ptr<const MusicAnalysis> analysis)
    : mAnalysis(std::move(analysis))
    , mHann(WindowedFft::Shape::Hann)
    , mBlackman(WindowedFft::Shape::Blackman)
{
}

void MusicFrames::MoveTo(double time)
{
    const std::int64_t end = MusicAnalysis::SampleAt(time);
    if (mMoved && end == mEnd) {
        return;
    }
    mMoved = true;
    mEnd = end;

    const std::int64_t lastStep = mAnalysis->LastStep();
    const std::int64_t step = std::clamp<std::int64_t>(end / StepSamples, 0, lastStep);
    const std::int64_t into = end - step * StepSamples;
    if (end <= 0) {
        mFft.fill(0.0f);
        mSmoothed.fill(0.0f);
        mIntegrated.fill(0.0f);
        std::fill(mMusicTexture.begin(), mMusicTexture.begin() + MusicWidth, 0);
    } else if (step == lastStep) {
        // Silence from here on: the averages fade and the sum holds.
        std::int64_t at = 0;
        const MusicAnalysis::State& last = mAnalysis->CheckpointBefore(lastStep, at);
        const double seconds = static_cast<double>(into) / Rate;
        const auto fade = static_cast<float>(std::exp(-seconds / MusicAnalysis::SmoothingSeconds));
        const auto musicFade =
            static_cast<float>(std::pow(MusicAnalysis::MusicSmoothing, seconds * MusicAnalysis::StepsPerSecond));
        mFft.fill(0.0f);
        for (int k = 0; k < Bins; ++k) {
            mSmoothed[k] = last.mSmoothed[k] * fade;
            mIntegrated[k] = static_cast<float>(last.mIntegrated[k]);
        }
        for (int k = 0; k < MusicWidth; ++k) {
            mMusicTexture[k] = SpectrumByte(last.mMusic[k] * musicFade);
        }
    } else {
        ReachStep(step);
        StepSpectra(end);
        const double part = static_cast<double>(into) / StepSamples;
        const auto follow =
            static_cast<float>(1.0 - std::exp(-part / MusicAnalysis::StepsPerSecond / MusicAnalysis::SmoothingSeconds));
        const auto keep = static_cast<float>(std::pow(MusicAnalysis::MusicSmoothing, part));
        for (int k = 0; k < Bins; ++k) {
            mFft[k] = mHannBins[k];
            mSmoothed[k] = mState.mSmoothed[k] + follow * (mHannBins[k] - mState.mSmoothed[k]);
            mIntegrated[k] = static_cast<float>(mState.mIntegrated[k] + part * mHannBins[k]);
        }
        for (int k = 0; k < MusicWidth; ++k) {
            mMusicTexture[k] = SpectrumByte(keep * mState.mMusic[k] + (1.0f - keep) * mBlackmanBins[k]);
        }
    }

    const std::vector<std::int16_t>& samples = mAnalysis->Samples();
    const auto count = static_cast<std::int64_t>(samples.size());
    for (int i = 0; i < MusicWidth; ++i) {
        const std::int64_t at = end - MusicWidth + i;
        mMusicTexture[MusicWidth + i] = WaveformByte(at >= 0 && at < count ? samples[at] : 0);
    }
}

void MusicFrames::ReachStep(std::int64_t step)
{
    // Going on from where the state is costs no more than a replay from the
    // checkpoint, and gives the same bits.
    std::int64_t from = 0;
    const MusicAnalysis::State& checkpoint = mAnalysis->CheckpointBefore(step, from);
    if (mStateStep < from || mStateStep > step) {
        mState = checkpoint;
        mStateStep = from;
    }
    for (; mStateStep < step; ++mStateStep) {
        StepSpectra((mStateStep + 1) * StepSamples);
        mState.Advance(mHannBins.data(), mBlackmanBins.data());
    }
}

void MusicFrames::StepSpectra(std::int64_t end)
{
    const std::vector<std::int16_t>& samples = mAnalysis->Samples();
    const auto count = static_cast<std::int64_t>(samples.size());
    mHann.Magnitudes(samples.data(), count, end, mHannBins.data());
    mBlackman.Magnitudes(samples.data(), count, end, mBlackmanBins.data());
}
