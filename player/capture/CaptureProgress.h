#pragma once

#include <cstdio>
#include <string>

// The progress of a capture on standard error: on a terminal one line that
// is rewritten in place, otherwise one line for every tenth of the frames.
class CaptureProgress
{
public:
    CaptureProgress(long total, bool terminal, std::FILE* stream = stderr);

    // done frames of the total are written, after elapsedSeconds.
    void Report(long done, double elapsedSeconds);
    // Ends the rewritten line so later output starts on a line of its own.
    void Finish();

private:
    long mTotal;
    bool mTerminal;
    std::FILE* mStream;
    long mLastDone = 0;
    size_t mLastLength = 0;
};

// "frame 120/600  20%  30.0 fps  0:16 left": frames done, percent, the mean
// speed so far and the time the rest takes at that speed.
std::string FormatCaptureProgress(long done, long total, double elapsedSeconds);

// Off a terminal, whether going from previousDone to done frames crosses a
// tenth of the total (the last frame always does).
bool IsCaptureProgressLineDue(long previousDone, long done, long total);
