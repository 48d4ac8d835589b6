#pragma once

#include "CaptureOptions.h"

#include <functional>
#include <string>

// The capture loop: renders every frame of the range offscreen at the capture
// size, frame n at exactly range.FrameTime(n) however long it takes, and
// writes it with the soundtrack's same stretch. Needs a current GL context.
class FrameCapture
{
public:
    // soundtrack: a sound file, or empty for silence.
    FrameCapture(const CaptureOptions& options, const CaptureRange& range, std::string soundtrack);

    // renderAt draws the picture for a timeline time into the bound target;
    // shouldStop is asked before each frame (Ctrl+C). Reports progress and the
    // outcome on standard error. Returns the exit status: 0 when every frame
    // is written, 1 on a failure, StoppedStatus when stopped (the file then
    // holds the frames done, but a script must not take it for the range).
    int Run(const std::function<void(double time)>& renderAt, const std::function<bool()>& shouldStop);

    // As a shell reports a program ended by SIGINT.
    static constexpr int StoppedStatus = 130;
    // The sound rate of the written file.
    static constexpr int SampleRate = 48000;

private:
    CaptureOptions mOptions;
    CaptureRange mRange;
    std::string mSoundtrack;
};
