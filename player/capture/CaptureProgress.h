#pragma once

#include <cstdio>
#include <string>

// The progress of a capture on standard error: on a terminal one line that
// is rewritten in place, otherwise one line for every tenth of the frames.
class CaptureProgress
{
public:
    CaptureProgress(long total, bool terminal, std::FILE* stream = stderr);

    // done frames of the total are written, after elapsedSeconds; bytes is
    // the output's size so far, negative while unknown.
    void Report(long done, double elapsedSeconds, long long bytes = -1);
    // Ends the rewritten line so later output starts on a line of its own.
    void Finish();

private:
    long mTotal;
    bool mTerminal;
    std::FILE* mStream;
    long mLastDone = 0;
    size_t mLastLength = 0;
};

// "frame 120/600  20%  30.0 fps 0:16 left  4.5 MB": frames done, percent,
// the mean speed so far, the time the rest takes at that speed and the
// output's size (left out while it is negative).
std::string FormatCaptureProgress(long done, long total, double elapsedSeconds, long long bytes = -1);

// "812 kB", "4.5 MB", "1.25 GB" (powers of 1000).
std::string FormatByteSize(long long bytes);

// Off a terminal, whether going from previousDone to done frames crosses a
// tenth of the total (the last frame always does).
bool IsCaptureProgressLineDue(long previousDone, long done, long total);
