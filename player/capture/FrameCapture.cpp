#include "FrameCapture.h"

#include "Audio/SoundtrackDecoder.h"
#include "CaptureProgress.h"
#include "RenderTarget.h"
#include "VideoWriter.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <unistd.h>
#include <vector>

FrameCapture::FrameCapture(const CaptureOptions& options, const CaptureRange& range, std::string soundtrack)
    : mOptions(options)
    , mRange(range)
    , mSoundtrack(std::move(soundtrack))
{
}

int FrameCapture::Run(const std::function<void(double time)>& renderAt, const std::function<bool()>& shouldStop)
{
    const long total = mRange.FrameCount();
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    CaptureProgress progress(total, ::isatty(STDERR_FILENO) == 1);
    VideoWriter writer;
    long done = 0;
    bool stopped = false;
    try {
        std::vector<std::int16_t> sound;
        if (!mSoundtrack.empty()) {
            sound = DecodeSoundtrack(mSoundtrack, mRange.mFrom, mRange.mTo, SampleRate);
        }
        RenderTarget target(mOptions.mWidth, mOptions.mHeight);
        writer.Open(mOptions.mOut, mOptions.mWidth, mOptions.mHeight, mRange.mFps, SampleRate, std::move(sound));
        std::vector<std::uint8_t> rgb;
        progress.Report(0, 0.0);
        for (; done < total; ++done) {
            if (shouldStop && shouldStop()) {
                stopped = true;
                break;
            }
            target.Bind();
            renderAt(mRange.FrameTime(done));
            target.Unbind();
            target.ReadRgb(rgb);
            writer.WriteFrame(rgb.data());
            progress.Report(done + 1, elapsed());
        }
        writer.Finish();
    } catch (const std::exception& e) {
        progress.Finish();
        std::string message = e.what();
        // The writer removes what it could not finish; when the rendering
        // failed, what is written is still a whole file.
        if (writer.IsOpen()) {
            try {
                writer.Finish();
                message += "; " + mOptions.mOut + " holds the " + std::to_string(done) + " frames done";
            } catch (const std::exception& finishing) {
                message += std::string("; ") + finishing.what();
            }
        }
        std::fprintf(stderr, "capture failed: %s\n", message.c_str());
        return 1;
    }
    progress.Finish();
    const double seconds = elapsed();
    if (stopped) {
        std::fprintf(stderr, "capture stopped after %ld of %ld frames: %s holds the frames done\n", done, total,
                     mOptions.mOut.c_str());
        return StoppedStatus;
    }
    std::fprintf(stderr, "captured %ld frames to %s in %.1f s (%.1f fps)\n", done, mOptions.mOut.c_str(), seconds,
                 seconds > 0.0 ? done / seconds : 0.0);
    return 0;
}
