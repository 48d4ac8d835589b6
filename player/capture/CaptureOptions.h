#pragma once

#include <string>
#include <vector>

class Tempo;

enum class CaptureOutputKind
{
    // H.264 and AAC in a fragmented .mp4 file.
    Mp4,
    // H.264 and AAC in a .mkv file.
    Matroska,
    // VP9 and Opus in a .webm file.
    WebM,
    // ProRes 422 HQ and 16-bit PCM in a .mov file.
    QuickTime,
    // A GIF with one palette for the whole clip, without sound.
    Gif,
    // One PNG per frame from a %d pattern, the sound as audio.wav beside them.
    PngSequence,
};

// The encoders' speed against size and fidelity.
enum class CaptureQuality
{
    Draft,
    Final,
    Master,
};

// What the capture options asked for. Times stay text until the settings
// file (and so the tempo for BAR:BEAT) is known.
struct CaptureOptions
{
    bool mEnabled = false;
    std::string mOut;
    CaptureOutputKind mKind = CaptureOutputKind::Mp4;
    CaptureQuality mQuality = CaptureQuality::Final;
    int mFps = 60;
    int mWidth = 1920;
    int mHeight = 1080;
    std::string mFromText;
    std::string mToText;
};

// The frames a capture renders: frame n shows exactly mFrom + n / mFps.
struct CaptureRange
{
    double mFrom = 0.0;
    double mTo = 0.0;
    int mFps = 60;

    long FrameCount() const;
    double FrameTime(long frame) const;
};

// Takes --capture OUT, --quality Q, --fps N, --size WxH, --from TIME and --to TIME (also
// written --name=value) out of args; everything else goes to rest in order.
// A usage error returns false with the reason in error.
bool ParseCaptureOptions(const std::vector<std::string>& args, CaptureOptions& options,
                         std::vector<std::string>& rest, std::string& error);

// The kind of file OUT names; false with the reason for any other name.
bool ClassifyCaptureOutput(const std::string& out, CaptureOutputKind& kind, std::string& error);

// Frames per second when --fps is not given: browsers slow down a GIF whose
// frames are shorter than 2/100 s.
int DefaultCaptureFps(CaptureOutputKind kind);

// FROM and TO in seconds, TO defaulting to end (the end of the last part).
bool ResolveCaptureRange(const CaptureOptions& options, const Tempo* tempo, double end, CaptureRange& range,
                         std::string& error);
