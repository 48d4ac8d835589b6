#include "Audio/MusicAnalysis.h"

#include "Audio/SoundtrackDecoder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

constexpr int Bins = WindowedFft::Bins;
constexpr double LevelFloorDb = -120.0;
constexpr double LevelsPerDb = 2.0;

std::uint8_t Level(float magnitude)
{
    if (!(magnitude > 0.0f)) {
        return 0;
    }
    const double level = std::round((20.0 * std::log10(magnitude) - LevelFloorDb) * LevelsPerDb);
    return static_cast<std::uint8_t>(std::clamp(level, 0.0, 255.0));
}

// The power each level stands for.
const std::array<float, 256>& LevelPowers()
{
    static const std::array<float, 256> Powers = [] {
        std::array<float, 256> powers{};
        for (int level = 1; level < 256; ++level) {
            powers[level] = static_cast<float>(std::pow(10.0, (level / LevelsPerDb + LevelFloorDb) / 10.0));
        }
        return powers;
    }();
    return Powers;
}

void ThrowIfStopped(const std::atomic<bool>* stop)
{
    if (stop != nullptr && stop->load()) {
        throw std::runtime_error("the analysis was stopped");
    }
}

} // namespace

void MusicAnalysis::State::Advance(const float* hann, const float* blackman)
{
    static const float Follow = static_cast<float>(1.0 - std::exp(-1.0 / StepsPerSecond / SmoothingSeconds));
    for (int k = 0; k < Bins; ++k) {
        mSmoothed[k] += Follow * (hann[k] - mSmoothed[k]);
        // Grows by 60 times the value per second, a step being 1/60 s.
        mIntegrated[k] += hann[k];
    }
    const float keep = static_cast<float>(MusicSmoothing);
    for (int k = 0; k < MusicBins; ++k) {
        mMusic[k] = keep * mMusic[k] + (1.0f - keep) * blackman[k];
    }
}

std::shared_ptr<const MusicAnalysis> MusicAnalysis::FromFile(const std::string& fileName, const std::atomic<bool>* stop)
{
    std::vector<std::int16_t> samples =
        DecodeSoundtrack(fileName, 0.0, std::numeric_limits<double>::infinity(), SampleRate, 1, stop);
    ThrowIfStopped(stop);
    return std::make_shared<const MusicAnalysis>(std::move(samples), stop);
}

MusicAnalysis::MusicAnalysis(std::vector<std::int16_t> samples, const std::atomic<bool>* stop)
    : mSamples(std::move(samples))
{
    const auto count = static_cast<std::int64_t>(mSamples.size());
    mLastStep = (count + WindowedFft::Size + StepSamples - 1) / StepSamples;
    mLevels.assign(static_cast<std::size_t>(mLastStep + 1) * Bins, 0);
    mCheckpoints.reserve(static_cast<std::size_t>(mLastStep / CheckpointSteps + 1));

    WindowedFft hann(WindowedFft::Shape::Hann);
    WindowedFft blackman(WindowedFft::Shape::Blackman);
    std::vector<float> hannBins(Bins);
    std::vector<float> blackmanBins(Bins);
    State state;
    mCheckpoints.push_back(state);
    for (std::int64_t step = 1; step <= mLastStep; ++step) {
        if (step % 256 == 0) {
            ThrowIfStopped(stop);
        }
        hann.Magnitudes(mSamples.data(), count, step * StepSamples, hannBins.data());
        blackman.Magnitudes(mSamples.data(), count, step * StepSamples, blackmanBins.data());
        state.Advance(hannBins.data(), blackmanBins.data());
        std::uint8_t* levels = &mLevels[static_cast<std::size_t>(step) * Bins];
        for (int k = 0; k < Bins; ++k) {
            levels[k] = Level(hannBins[k]);
        }
        if (step % CheckpointSteps == 0) {
            mCheckpoints.push_back(state);
        }
    }
    mFinal = state;

    mPeaks.assign(static_cast<std::size_t>((count + PeakBlock - 1) / PeakBlock), 0);
    for (std::size_t i = 0; i < mSamples.size(); ++i) {
        const auto magnitude = static_cast<std::uint16_t>(std::abs(static_cast<int>(mSamples[i])));
        std::uint16_t& peak = mPeaks[i / PeakBlock];
        peak = std::max(peak, magnitude);
    }
}

std::int64_t MusicAnalysis::SampleAt(double time)
{
    // Far enough on either side to be silence, and NaN as the start.
    const double limit = 1e7;
    const double clamped = std::isnan(time) ? 0.0 : std::clamp(time, -limit, limit);
    // A frame time n/fps reached by division lands a hair below its sample.
    return static_cast<std::int64_t>(std::floor(clamped * SampleRate + 1e-6));
}

const MusicAnalysis::State& MusicAnalysis::CheckpointBefore(std::int64_t step, std::int64_t& checkpointStep) const
{
    if (step >= mLastStep) {
        checkpointStep = mLastStep;
        return mFinal;
    }
    const std::int64_t index = std::max<std::int64_t>(step, 0) / CheckpointSteps;
    checkpointStep = index * CheckpointSteps;
    return mCheckpoints[static_cast<std::size_t>(index)];
}

float MusicAnalysis::BandAmplitude(std::int64_t step, int firstBin, int lastBin) const
{
    if (step <= 0 || step > mLastStep) {
        return 0.0f;
    }
    const std::array<float, 256>& powers = LevelPowers();
    const std::uint8_t* levels = &mLevels[static_cast<std::size_t>(step) * Bins];
    float power = 0.0f;
    for (int k = std::max(firstBin, 0); k <= std::min(lastBin, Bins - 1); ++k) {
        power += powers[levels[k]];
    }
    return std::sqrt(power);
}

std::vector<float> MusicAnalysis::Peaks(double from, double to, int columns) const
{
    std::vector<float> peaks(static_cast<std::size_t>(std::max(columns, 0)), 0.0f);
    const double blocksPerSecond = static_cast<double>(SampleRate) / PeakBlock;
    for (int column = 0; column < columns; ++column) {
        const double start = from + (to - from) * column / columns;
        const double end = from + (to - from) * (column + 1) / columns;
        auto first = static_cast<std::int64_t>(std::floor(start * blocksPerSecond));
        // A column narrower than a block still shows the block it lies in.
        auto last = std::max(first + 1, static_cast<std::int64_t>(std::ceil(end * blocksPerSecond)));
        first = std::max<std::int64_t>(first, 0);
        last = std::min<std::int64_t>(last, static_cast<std::int64_t>(mPeaks.size()));
        std::uint16_t peak = 0;
        for (std::int64_t block = first; block < last; ++block) {
            peak = std::max(peak, mPeaks[static_cast<std::size_t>(block)]);
        }
        peaks[static_cast<std::size_t>(column)] = peak / 32768.0f;
    }
    return peaks;
}

std::size_t MusicAnalysis::Bytes() const
{
    return sizeof(*this) + mSamples.capacity() * sizeof(std::int16_t) + mCheckpoints.capacity() * sizeof(State) +
           mLevels.capacity() + mPeaks.capacity() * sizeof(std::uint16_t);
}
