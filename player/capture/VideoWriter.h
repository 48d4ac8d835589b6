#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Writes captured frames and their soundtrack with FFmpeg: H.264 (yuv420p,
// CRF 18) and AAC in an .mp4 or .mkv file, or a PNG per frame from a %d
// pattern (numbered from 0) with the sound as audio.wav in the same folder.
// Frame n has the presentation time n / fps exactly, and the sound is written
// in step with the frames, so sample s plays at s / sampleRate in the file.
//
// Failures throw std::runtime_error with a message that names the file and
// the reason; an incomplete video file is removed first, and the message
// says so. After a failure the writer takes no more frames.
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
    void Open(const std::string& out, int width, int height, int fps, int sampleRate,
              std::vector<std::int16_t> sound);
    // width * height tightly packed RGB pixels, bottom row first.
    void WriteFrame(const std::uint8_t* rgb);
    // Drains the encoders and closes the files; the sound ends with the last
    // frame written.
    void Finish();

    long FramesWritten() const;
    bool IsOpen() const;

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};
