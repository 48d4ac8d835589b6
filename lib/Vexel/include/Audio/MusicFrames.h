#pragma once

#include "Audio/MusicAnalysis.h"
#include "Audio/WindowedFft.h"

#include <array>
#include <cstdint>
#include <memory>

// The soundtrack's inputs to the picture at one time: the spectrum of the
// 2048 samples ending then, its exponential average (0.15 s) and its running
// sum (60 times the value a second), and Shadertoy's 512x2 music texture as
// Web Audio's analyser makes it. Between two steps of the analysis the
// running values move on by the part of a step from the last step, with the
// spectrum at that very time, so the values at a time depend on the time and
// the file alone: playing, seeking and any frame rate give the same bits.
// Before the first sample and after the last the track is silence.
class MusicFrames
{
public:
    static constexpr int Bins = WindowedFft::Bins;
    static constexpr int MusicWidth = MusicAnalysis::MusicBins;
    // Web Audio's analyser defaults.
    static constexpr double MinDecibels = -100.0;
    static constexpr double MaxDecibels = -30.0;

    explicit MusicFrames(std::shared_ptr<const MusicAnalysis> analysis);
    MusicFrames(const MusicFrames&) = delete;
    MusicFrames& operator=(const MusicFrames&) = delete;

    // The values at a timeline time; the same time again costs nothing.
    void MoveTo(double time);

    // texFFT, texFFTSmoothed and texFFTIntegrated: Bins values each.
    const float* Fft() const { return mFft.data(); }
    const float* Smoothed() const { return mSmoothed.data(); }
    const float* Integrated() const { return mIntegrated.data(); }
    // Shadertoy's music: MusicWidth bytes of spectrum (row 0), then
    // MusicWidth of the waveform ending at the time (row 1, 128 is silence).
    const std::uint8_t* MusicTexture() const { return mMusicTexture.data(); }

    const MusicAnalysis& Analysis() const { return *mAnalysis; }

private:
    // mState and mStateStep hold the state after step.
    void ReachStep(std::int64_t step);
    void StepSpectra(std::int64_t end);

    std::shared_ptr<const MusicAnalysis> mAnalysis;
    WindowedFft mHann;
    WindowedFft mBlackman;
    std::array<float, Bins> mHannBins{};
    std::array<float, Bins> mBlackmanBins{};
    MusicAnalysis::State mState;
    std::int64_t mStateStep = -1;
    std::int64_t mEnd = -1;
    bool mMoved = false;

    std::array<float, Bins> mFft{};
    std::array<float, Bins> mSmoothed{};
    std::array<float, Bins> mIntegrated{};
    std::array<std::uint8_t, 2 * MusicWidth> mMusicTexture{};
};
