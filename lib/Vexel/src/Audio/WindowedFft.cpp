#include "Audio/WindowedFft.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>

namespace {

// One plan, made with the estimate flag by whichever thread comes first
// (FFTW's planner is not thread-safe; executing a plan is), keeps the results
// the same wherever they are computed.
class SharedPlan
{
public:
    SharedPlan()
    {
        float* in = fftwf_alloc_real(WindowedFft::Size);
        fftwf_complex* out = fftwf_alloc_complex(WindowedFft::Bins + 1);
        mPlan = fftwf_plan_dft_r2c_1d(WindowedFft::Size, in, out, FFTW_ESTIMATE);
        fftwf_free(out);
        fftwf_free(in);
    }
    ~SharedPlan() { fftwf_destroy_plan(mPlan); }
    SharedPlan(const SharedPlan&) = delete;
    SharedPlan& operator=(const SharedPlan&) = delete;

    fftwf_plan mPlan;
};

fftwf_plan Plan()
{
    static const SharedPlan Shared;
    return Shared.mPlan;
}

} // namespace

WindowedFft::WindowedFft(Shape shape)
    : mPlan(Plan())
    , mWindow(Size)
{
    const double pi = std::acos(-1.0);
    double sum = 0.0;
    for (int n = 0; n < Size; ++n) {
        const double phase = 2.0 * pi * n / Size;
        mWindow[n] =
            static_cast<float>(shape == Shape::Hann ? 0.5 - 0.5 * std::cos(phase)
                                                    : 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2.0 * phase));
        sum += mWindow[n];
    }
    // A sine of amplitude A centred on a bin gives A * sum / 2 there. The
    // 1/32768 turns 16-bit samples into -1..1.
    const double scale = (shape == Shape::Hann ? 2.0 / sum : 1.0 / Size) / 32768.0;
    for (float& weight : mWindow) {
        weight = static_cast<float>(weight * scale);
    }
    mIn = fftwf_alloc_real(Size);
    mOut = reinterpret_cast<float*>(fftwf_alloc_complex(Bins + 1));
}

WindowedFft::~WindowedFft()
{
    fftwf_free(mOut);
    fftwf_free(mIn);
}

void WindowedFft::Magnitudes(const std::int16_t* samples, std::int64_t count, std::int64_t end, float* magnitudes)
{
    const std::int64_t begin = end - Size;
    if (end <= 0 || begin >= count) {
        std::fill(magnitudes, magnitudes + Bins, 0.0f);
        return;
    }
    for (int n = 0; n < Size; ++n) {
        const std::int64_t at = begin + n;
        mIn[n] = at >= 0 && at < count ? mWindow[n] * samples[at] : 0.0f;
    }
    fftwf_execute_dft_r2c(mPlan, mIn, reinterpret_cast<fftwf_complex*>(mOut));
    for (int k = 0; k < Bins; ++k) {
        magnitudes[k] = std::sqrt(mOut[2 * k] * mOut[2 * k] + mOut[2 * k + 1] * mOut[2 * k + 1]);
    }
}
