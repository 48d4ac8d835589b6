#include "CaptureProgress.h"

#include <cmath>

namespace {

std::string FormatDuration(double seconds)
{
    const long total = static_cast<long>(std::lround(seconds));
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

} // namespace

std::string FormatByteSize(long long bytes)
{
    char text[32];
    if (bytes < 1000000) {
        std::snprintf(text, sizeof text, "%lld kB", (bytes + 500) / 1000);
    } else if (bytes < 1000000000) {
        std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    } else {
        std::snprintf(text, sizeof text, "%.2f GB", bytes / 1e9);
    }
    return text;
}

std::string FormatCaptureProgress(long done, long total, double elapsedSeconds, long long bytes)
{
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    const double fps = elapsedSeconds > 0.0 ? done / elapsedSeconds : 0.0;
    char head[96];
    std::snprintf(head, sizeof head, "frame %ld/%ld %3d%% %5.1f fps ", done, total, percent, fps);
    // Without a speed yet there is nothing to estimate from.
    const std::string left = fps > 0.0 ? FormatDuration((total - done) / fps) : std::string("-:--");
    return head + left + " left" + (bytes >= 0 ? "  " + FormatByteSize(bytes) : std::string());
}

bool IsCaptureProgressLineDue(long previousDone, long done, long total)
{
    if (total <= 0 || done <= previousDone) {
        return false;
    }
    if (done >= total) {
        return true;
    }
    return done * 10 / total > previousDone * 10 / total;
}

CaptureProgress::CaptureProgress(long total, bool terminal, std::FILE* stream)
    : mTotal(total)
    , mTerminal(terminal)
    , mStream(stream)
{
}

void CaptureProgress::Report(long done, double elapsedSeconds, long long bytes)
{
    const std::string line = FormatCaptureProgress(done, mTotal, elapsedSeconds, bytes);
    if (mTerminal) {
        // Blanks wipe what is left of a longer previous line.
        const size_t pad = mLastLength > line.size() ? mLastLength - line.size() : 0;
        std::fprintf(mStream, "\r%s%s", line.c_str(), std::string(pad, ' ').c_str());
        mLastLength = line.size();
    } else if (IsCaptureProgressLineDue(mLastDone, done, mTotal)) {
        std::fprintf(mStream, "%s\n", line.c_str());
    }
    std::fflush(mStream);
    mLastDone = done;
}

void CaptureProgress::Finish()
{
    if (mTerminal && mLastLength > 0) {
        std::fprintf(mStream, "\n");
        std::fflush(mStream);
        mLastLength = 0;
    }
}
