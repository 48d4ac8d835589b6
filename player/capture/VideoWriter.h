#pragma once

#include "CaptureOptions.h"
#include "FrameLayout.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Writes captured frames and their soundtrack with FFmpeg, the encoders
// chosen by OUT's extension and the quality: H.264 and AAC in a fragmented
// .mp4 or a .mkv, VP9 and Opus in a .webm, ProRes 422 HQ and 16-bit PCM in a
// .mov, a GIF with one palette for the clip and no sound, or a PNG per frame
// from a %d pattern (numbered from 0) with the sound as audio.wav in the same
// folder. Frame n has the presentation time n / fps exactly, and the sound is
// written in step with the frames, so sample s plays at s / sampleRate.
//
// A video file is written under a temporary name beside OUT and renamed to
// OUT when it is finished, so a failure never touches what was at OUT; a
// folder, a read-only file or anything but a regular file at OUT is left as
// it is and refused. Failures throw std::runtime_error with a message that
// names the file and the reason; the incomplete temporary file is removed
// first, and the message says so. After a failure the writer takes no more
// frames. Open, WriteFrame and Finish belong to one thread at a time.
class VideoWriter
{
public:
    static constexpr int Channels = 2;

    VideoWriter();
    // Finishes a file that was neither finished nor failed, so an early stop
    // still leaves a playable file of the frames written.
    ~VideoWriter();

    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // sound: interleaved stereo 16-bit samples at sampleRate from the first
    // frame's time on; shorter than the frames is padded with silence.
    void Open(const std::string& out, int width, int height, int fps, int sampleRate, std::vector<std::int16_t> sound,
              CaptureQuality quality = CaptureQuality::Final);
    // The layout WriteFrame takes, set by Open.
    FrameLayout Layout() const;
    // One frame in Layout().
    void WriteFrame(const std::uint8_t* frame);
    // Drains the encoders, closes the files and puts the video at OUT; the
    // sound ends with the last frame written.
    void Finish();

    long FramesWritten() const;
    bool IsOpen() const;
    // The bytes written so far; safe from any thread.
    std::int64_t BytesWritten() const { return mBytes.load(); }

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
    std::atomic<std::int64_t> mBytes{0};
};
