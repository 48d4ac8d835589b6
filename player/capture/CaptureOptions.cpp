#include "CaptureOptions.h"

#include "Halvorn/Tempo.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <utility>

namespace {

constexpr int MaxFps = 1000;
// A GIF counts time in hundredths, and browsers stretch shorter frames.
constexpr int MaxGifFps = 50;
constexpr int MaxSide = 16384;

const std::pair<const char*, CaptureOutputKind> VideoExtensions[] = {
    {".mp4", CaptureOutputKind::Mp4},       {".mkv", CaptureOutputKind::Matroska}, {".webm", CaptureOutputKind::WebM},
    {".mov", CaptureOutputKind::QuickTime}, {".gif", CaptureOutputKind::Gif},
};

const std::pair<const char*, CaptureQuality> Qualities[] = {
    {"draft", CaptureQuality::Draft},
    {"final", CaptureQuality::Final},
    {"master", CaptureQuality::Master},
};

bool EndsWithNoCase(const std::string& text, const std::string& suffix)
{
    if (text.size() < suffix.size()) {
        return false;
    }
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) != suffix[i]) {
            return false;
        }
    }
    return true;
}

// A whole decimal number in [low, high], nothing else.
bool ParseWhole(const std::string& text, int low, int high, int& value)
{
    if (text.empty() || text.size() > 9) {
        return false;
    }
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    const int parsed = std::atoi(text.c_str());
    if (parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

// Counts the %d conversions (%d, %5d, %05d) of a pattern; -1 for any other
// use of % than those and %%.
int CountFrameConversions(const std::string& pattern)
{
    int count = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            continue;
        }
        size_t j = i + 1;
        if (j < pattern.size() && pattern[j] == '%') {
            i = j;
            continue;
        }
        while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j]))) {
            ++j;
        }
        if (j >= pattern.size() || pattern[j] != 'd' || j - i > 3) {
            return -1;
        }
        ++count;
        i = j;
    }
    return count;
}

bool ParseTimeText(const std::string& name, const std::string& text, const Tempo* tempo, double& seconds,
                   std::string& error)
{
    QString why;
    if (!ParseTime(QString::fromStdString(text), tempo, seconds, why)) {
        error = name + ": " + why.toStdString() + ", got \"" + text + "\"";
        return false;
    }
    return true;
}

} // namespace

long CaptureRange::FrameCount() const
{
    // A frame is in the range when its time is before TO; the small margin
    // keeps 10 s at 60 fps at 600 frames despite rounding.
    const double frames = (mTo - mFrom) * mFps;
    return frames <= 0.0 ? 0 : static_cast<long>(std::ceil(frames - 1e-6));
}

double CaptureRange::FrameTime(long frame) const
{
    return mFrom + static_cast<double>(frame) / mFps;
}

bool ClassifyCaptureOutput(const std::string& out, CaptureOutputKind& kind, std::string& error)
{
    const size_t slash = out.find_last_of('/');
    const std::string fileName = slash == std::string::npos ? out : out.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? std::string() : out.substr(0, slash);

    const int conversions = CountFrameConversions(out);
    if (conversions == 0) {
        for (const auto& [extension, taken] : VideoExtensions) {
            if (EndsWithNoCase(fileName, extension) && fileName.size() > std::strlen(extension)) {
                kind = taken;
                return true;
            }
        }
    }
    if (conversions == 1 && CountFrameConversions(folder) == 0 && EndsWithNoCase(fileName, ".png")) {
        kind = CaptureOutputKind::PngSequence;
        return true;
    }
    if (conversions > 1 || conversions < 0) {
        error = "--capture: a PNG pattern holds exactly one %d (or %05d) and no other %: \"" + out + "\"";
    } else if (conversions == 1) {
        error = "--capture: a PNG pattern has its %d in a file name ending in .png: \"" + out + "\"";
    } else {
        error = "--capture: OUT must end in .mp4, .mkv, .webm, .mov or .gif, or be a PNG pattern such as "
                "frames/%05d.png: \"" +
                out + "\"";
    }
    return false;
}

int DefaultCaptureFps(CaptureOutputKind kind)
{
    return kind == CaptureOutputKind::Gif ? 25 : 60;
}

bool ParseCaptureOptions(const std::vector<std::string>& args, CaptureOptions& options,
                         std::vector<std::string>& rest, std::string& error)
{
    CaptureOptions parsed;
    bool sawRangeOption = false;
    bool fpsGiven = false;
    std::string firstRangeOption;
    rest.clear();

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        const size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasValue = true;
        }
        if (name != "--capture" && name != "--quality" && name != "--fps" && name != "--size" && name != "--from" &&
            name != "--to") {
            rest.push_back(arg);
            continue;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                error = name + ": missing value";
                return false;
            }
            value = args[++i];
        }

        if (name == "--capture") {
            if (!ClassifyCaptureOutput(value, parsed.mKind, error)) {
                return false;
            }
            parsed.mEnabled = true;
            parsed.mOut = value;
            continue;
        }
        if (!sawRangeOption) {
            firstRangeOption = name;
        }
        sawRangeOption = true;
        if (name == "--quality") {
            const auto* const end = std::end(Qualities);
            const auto* const found = std::find_if(std::begin(Qualities), end,
                                                   [&value](const auto& quality) { return value == quality.first; });
            if (found == end) {
                error = "--quality: expected draft, final or master, got \"" + value + "\"";
                return false;
            }
            parsed.mQuality = found->second;
        } else if (name == "--fps") {
            fpsGiven = true;
            if (!ParseWhole(value, 1, MaxFps, parsed.mFps)) {
                error = "--fps: expected a whole number from 1 to " + std::to_string(MaxFps) + ", got \"" +
                        value + "\"";
                return false;
            }
        } else if (name == "--size") {
            const size_t x = value.find('x');
            if (x == std::string::npos || !ParseWhole(value.substr(0, x), 1, MaxSide, parsed.mWidth) ||
                !ParseWhole(value.substr(x + 1), 1, MaxSide, parsed.mHeight)) {
                error = "--size: expected WIDTHxHEIGHT, each from 1 to " + std::to_string(MaxSide) +
                        ", got \"" + value + "\"";
                return false;
            }
        } else {
            // Syntax now, with any tempo; the value once the settings file is read.
            const Tempo anyTempo(120.0, 4, 0.0);
            double seconds = 0.0;
            if (!ParseTimeText(name, value, &anyTempo, seconds, error)) {
                return false;
            }
            (name == "--from" ? parsed.mFromText : parsed.mToText) = value;
        }
    }

    if (sawRangeOption && !parsed.mEnabled) {
        error = firstRangeOption + ": only with --capture";
        return false;
    }
    if (!fpsGiven) {
        parsed.mFps = DefaultCaptureFps(parsed.mKind);
    }
    if (parsed.mKind == CaptureOutputKind::Gif && parsed.mFps > MaxGifFps) {
        error = "--fps: a GIF takes at most " + std::to_string(MaxGifFps) +
                " frames per second (browsers slow down faster ones), got " + std::to_string(parsed.mFps);
        return false;
    }
    // The video encoders halve the colour planes, so both sides must be even.
    const bool video = parsed.mKind != CaptureOutputKind::Gif && parsed.mKind != CaptureOutputKind::PngSequence;
    if (parsed.mEnabled && video && (parsed.mWidth % 2 != 0 || parsed.mHeight % 2 != 0)) {
        error = "--size: a video needs an even width and height, got " + std::to_string(parsed.mWidth) + "x" +
                std::to_string(parsed.mHeight);
        return false;
    }
    options = parsed;
    return true;
}

bool ResolveCaptureRange(const CaptureOptions& options, const Tempo* tempo, double end, CaptureRange& range,
                         std::string& error)
{
    CaptureRange resolved;
    resolved.mFps = options.mFps;
    resolved.mFrom = 0.0;
    resolved.mTo = end;
    if (!options.mFromText.empty() && !ParseTimeText("--from", options.mFromText, tempo, resolved.mFrom, error)) {
        return false;
    }
    if (!options.mToText.empty() && !ParseTimeText("--to", options.mToText, tempo, resolved.mTo, error)) {
        return false;
    }
    if (!(resolved.mFrom >= 0.0)) {
        error = "--from: the capture cannot start before 0";
        return false;
    }
    // Without --to the end is the timeline's: say what is wrong with it.
    if (options.mToText.empty() && end <= 0.0) {
        error = "the timeline is empty: nothing to capture (--to TIME captures up to TIME anyway)";
        return false;
    }
    if (options.mToText.empty() && (!(resolved.mTo > resolved.mFrom) || resolved.FrameCount() == 0)) {
        error = "--from: " + QString::number(resolved.mFrom).toStdString() +
                " s is not before the end of the timeline (" + QString::number(end).toStdString() + " s)";
        return false;
    }
    if (!(resolved.mTo > resolved.mFrom) || resolved.FrameCount() == 0) {
        error = "--to: the capture must end after it starts (from " + QString::number(resolved.mFrom).toStdString() +
                " s to " + QString::number(resolved.mTo).toStdString() + " s)";
        return false;
    }
    range = resolved;
    return true;
}
