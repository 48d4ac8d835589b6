#include "FrameCapture.h"

#include "Audio/SoundtrackDecoder.h"
#include "CaptureProgress.h"
#include "EncoderThread.h"
#include "FrameConverter.h"
#include "FrameLayout.h"
#include "RenderTarget.h"
#include "VideoWriter.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace {

// Frames in flight between the GPU and the encoder: enough for the read back
// and the encoding to overlap the drawing of the next frames.
constexpr int ReadBuffers = 3;
constexpr int EncodeBuffers = 4;

// A developer switch for measuring: the frames go raw to this file (as the
// encoder would take them) and nothing is encoded.
const char* const RawOutputVariable = "VEXEL_CAPTURE_RAW";

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

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
    const bool gif = mOptions.mKind == CaptureOutputKind::Gif;
    const char* const raw = std::getenv(RawOutputVariable);
    const std::string out = raw != nullptr ? std::string(raw) : mOptions.mOut;
    CaptureProgress progress(total, ::isatty(STDERR_FILENO) == 1);
    VideoWriter writer;
    long done = 0;
    bool stopped = false;
    try {
        std::vector<std::int16_t> sound;
        if (gif && !mSoundtrack.empty()) {
            std::fprintf(stderr, "note: a GIF holds no sound: the soundtrack is left out\n");
        } else if (!mSoundtrack.empty() && raw == nullptr) {
            sound = DecodeSoundtrack(mSoundtrack, mRange.mFrom, mRange.mTo, SampleRate);
        }
        const FrameLayout layout(FrameLayout::For(mOptions.mKind), mOptions.mWidth, mOptions.mHeight);
        RenderTarget target(mOptions.mWidth, mOptions.mHeight);
        std::unique_ptr<std::FILE, FileCloser> rawFile;
        if (raw != nullptr) {
            rawFile.reset(std::fopen(raw, "wb"));
            if (!rawFile) {
                throw std::runtime_error(out + ": " + std::strerror(errno));
            }
        } else {
            writer.Open(mOptions.mOut, mOptions.mWidth, mOptions.mHeight, mRange.mFps, SampleRate, std::move(sound),
                        mOptions.mQuality);
        }
        const auto bytes = [&writer, gif] { return gif ? -1LL : static_cast<long long>(writer.BytesWritten()); };
        FrameConverter converter(layout, ReadBuffers);
        // Progress is told as frames are written, on the encoding thread.
        long written = 0;
        EncoderThread encoder(layout.FrameBytes(), EncodeBuffers, [&](const std::uint8_t* frame) {
            if (rawFile) {
                std::fwrite(frame, 1, layout.FrameBytes(), rawFile.get());
            } else {
                writer.WriteFrame(frame);
            }
            progress.Report(++written, elapsed(), bytes());
        });
        // The oldest frame read back goes to the encoder; false once it failed.
        const auto collect = [&converter, &encoder] {
            std::uint8_t* buffer = encoder.FreeBuffer();
            if (buffer == nullptr) {
                return false;
            }
            converter.Collect(buffer);
            encoder.Submit(buffer);
            return true;
        };

        progress.Report(0, 0.0, bytes());
        for (long rendered = 0; rendered < total; ++rendered) {
            if (shouldStop && shouldStop()) {
                stopped = true;
                break;
            }
            target.Bind();
            renderAt(mRange.FrameTime(rendered));
            target.Unbind();
            if (converter.Pending() == converter.Capacity() && !collect()) {
                break;
            }
            converter.Convert(target.GetColourTexture());
        }
        while (converter.Pending() > 0 && collect()) {
        }
        encoder.Finish();
        done = encoder.Done();
        writer.Finish();
    } catch (const std::exception& e) {
        progress.Finish();
        std::string message = e.what();
        done = writer.FramesWritten();
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
                     out.c_str());
        return StoppedStatus;
    }
    std::fprintf(stderr, "captured %ld frames to %s in %.1f s (%.1f fps, %s)\n", done, out.c_str(), seconds,
                 seconds > 0.0 ? done / seconds : 0.0, FormatByteSize(writer.BytesWritten()).c_str());
    return 0;
}
