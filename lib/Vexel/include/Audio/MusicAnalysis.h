#pragma once

#include "Audio/WindowedFft.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What the soundtrack's inputs to the picture are made from, computed once:
// the mono mix at 44.1 kHz; the running averages of its spectrum on a fixed
// step of 1/60 s from the start of the track, kept every 16 steps so that a
// value at any time needs only a short replay; each step's spectrum in
// half-decibel levels, for bands; and the peaks for a waveform. Nothing in it
// changes once made, so threads share it freely.
class MusicAnalysis
{
public:
    static constexpr int SampleRate = 44100;
    static constexpr int StepsPerSecond = 60;
    static constexpr int StepSamples = SampleRate / StepsPerSecond;
    static constexpr int CheckpointSteps = 16;
    // The bins of Shadertoy's music texture.
    static constexpr int MusicBins = 512;
    static constexpr double SmoothingSeconds = 0.15;
    // Web Audio's analyser default, per step.
    static constexpr double MusicSmoothing = 0.8;

    // The running values after a step.
    struct State
    {
        // One step on, with that step's spectra.
        void Advance(const float* hann, const float* blackman);

        std::array<float, WindowedFft::Bins> mSmoothed{};
        // Double: a float sum of a long track stops growing by small steps.
        std::array<double, WindowedFft::Bins> mIntegrated{};
        std::array<float, MusicBins> mMusic{};
    };

    // Decodes the file; throws std::runtime_error when it cannot be read, or
    // when stop is set before the work is done.
    static std::shared_ptr<const MusicAnalysis> FromFile(const std::string& fileName,
                                                         const std::atomic<bool>* stop = nullptr);
    // Mono samples at SampleRate.
    explicit MusicAnalysis(std::vector<std::int16_t> samples, const std::atomic<bool>* stop = nullptr);

    const std::vector<std::int16_t>& Samples() const { return mSamples; }
    double Duration() const { return static_cast<double>(mSamples.size()) / SampleRate; }
    // The end of the window at a time: the first sample not yet heard.
    static std::int64_t SampleAt(double time);
    // From this step on the window holds only silence.
    std::int64_t LastStep() const { return mLastStep; }
    // The state after the checkpoint at or before a step, and that
    // checkpoint's step; from LastStep on, the state after LastStep.
    const State& CheckpointBefore(std::int64_t step, std::int64_t& checkpointStep) const;
    // The amplitude of bins first..last together in a step, from its levels.
    float BandAmplitude(std::int64_t step, int firstBin, int lastBin) const;
    // The largest sample (0..1) in each of columns equal slices of from..to seconds.
    std::vector<float> Peaks(double from, double to, int columns) const;
    // What the analysis holds in memory.
    std::size_t Bytes() const;

    // Samples per stored peak.
    static constexpr int PeakBlock = 256;

private:
    std::vector<std::int16_t> mSamples;
    std::int64_t mLastStep = 0;
    std::vector<State> mCheckpoints;
    State mFinal;
    // Bins of every step in half decibels above -120 dB; 0 is silence.
    std::vector<std::uint8_t> mLevels;
    std::vector<std::uint16_t> mPeaks;
};
