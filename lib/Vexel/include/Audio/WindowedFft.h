#pragma once

#include <cstdint>
#include <vector>

struct fftwf_plan_s;

// Magnitudes of a windowed 2048-point FFT over 16-bit mono samples, with
// FFTW's single-precision transform. Every instance runs the same plan, made
// once, so the same samples give the same bits on any thread.
class WindowedFft
{
public:
    static constexpr int Size = 2048;
    static constexpr int Bins = Size / 2;

    enum class Shape
    {
        // Scaled so a full-scale sine centred on a bin reads 1.0 there.
        Hann,
        // Web Audio's analyser: Blackman (alpha 0.16), divided by Size.
        Blackman
    };

    explicit WindowedFft(Shape shape);
    ~WindowedFft();
    WindowedFft(const WindowedFft&) = delete;
    WindowedFft& operator=(const WindowedFft&) = delete;

    // Bins 0..Bins-1 of the Size samples ending before sample end; samples
    // before 0 and from count on are silence.
    void Magnitudes(const std::int16_t* samples, std::int64_t count, std::int64_t end, float* magnitudes);

private:
    fftwf_plan_s* mPlan;
    std::vector<float> mWindow;
    float* mIn = nullptr;
    // Interleaved real and imaginary parts, as fftwf_complex.
    float* mOut = nullptr;
};
