#include "PlayerOptions.h"

#include "Halvorn/Tempo.h"

#include <QRegularExpression>

#include <set>

namespace {

bool ParseWindowSize(const QString& text, int& width, int& height)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,5})x([0-9]{1,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) {
        return false;
    }
    const int w = match.captured(1).toInt();
    const int h = match.captured(2).toInt();
    // SDL and the drivers refuse larger windows anyway.
    if (w < 1 || h < 1 || w > 16384 || h > 16384) {
        return false;
    }
    width = w;
    height = h;
    return true;
}

QString Quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The form of a time, with any tempo: whether BAR:BEAT fits the file's tempo
// is known once the file is read.
bool TimeFormOk(const QString& text, QString& reason)
{
    const Tempo anyTempo(120.0, 1000, 0.0);
    double seconds = 0.0;
    return ParseTime(text, &anyTempo, seconds, reason);
}

} // namespace

PlayerOptions::Outcome PlayerOptions::Parse(const QStringList& arguments, QString& error)
{
    bool settingsGiven = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const bool takesValue = argument == QLatin1String("--window") || argument == QLatin1String("--start") ||
                                argument == QLatin1String("--loop") || argument == QLatin1String("--new");
        QString value;
        if (takesValue) {
            if (i + 1 >= arguments.size()) {
                error = argument + QStringLiteral(": missing value");
                return UsageError;
            }
            value = arguments.at(++i);
        }

        if (argument == QLatin1String("--help")) {
            return ShowHelp;
        } else if (argument == QLatin1String("--version")) {
            return ShowVersion;
        } else if (argument == QLatin1String("--window")) {
            if (!ParseWindowSize(value, mWindowWidth, mWindowHeight)) {
                error = QStringLiteral("--window: expected WxH in pixels, as 960x540, not ") + Quoted(value);
                return UsageError;
            }
        } else if (argument == QLatin1String("--fullscreen")) {
            mFullscreen = true;
        } else if (argument == QLatin1String("--start")) {
            QString reason;
            if (!TimeFormOk(value, reason)) {
                error = QStringLiteral("--start: ") + reason + QStringLiteral(", not ") + Quoted(value);
                return UsageError;
            }
            mStartText = value;
        } else if (argument == QLatin1String("--loop")) {
            const int dash = value.indexOf(QLatin1Char('-'), 1);
            QString reason;
            if (dash < 0) {
                error = QStringLiteral("--loop: expected FROM-TO with FROM before TO, not ") + Quoted(value);
                return UsageError;
            }
            if (!TimeFormOk(value.left(dash), reason) || !TimeFormOk(value.mid(dash + 1), reason)) {
                error = QStringLiteral("--loop: ") + reason + QStringLiteral(", not ") + Quoted(value);
                return UsageError;
            }
            mLoopText = value;
        } else if (argument == QLatin1String("--paused")) {
            mPaused = true;
        } else if (argument == QLatin1String("--mute")) {
            mMute = true;
        } else if (argument == QLatin1String("--quiet")) {
            mQuiet = true;
        } else if (argument == QLatin1String("--check")) {
            mCheck = true;
        } else if (argument == QLatin1String("--analyze")) {
            mAnalyze = true;
        } else if (argument == QLatin1String("--new")) {
            // An option in its place is far likelier a forgotten DIR than a folder's name.
            if (value.isEmpty() || (value.startsWith(QLatin1Char('-')) && value.size() > 1)) {
                error = QStringLiteral("--new: expected the folder to make, not ") + Quoted(value);
                return UsageError;
            }
            mNewFolder = value;
        } else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            error = QStringLiteral("unknown option ") + Quoted(argument);
            return UsageError;
        } else if (settingsGiven) {
            error = QStringLiteral("one SETTINGS file only, not also ") + Quoted(argument);
            return UsageError;
        } else {
            mSettingsFile = argument;
            settingsGiven = true;
        }
    }
    return Play;
}

bool PlayerOptions::ResolveTimes(const Tempo* tempo, QString& error)
{
    QString reason;
    if (!mStartText.isNull() && !ParseTime(mStartText, tempo, mStart, reason)) {
        error = QStringLiteral("--start: ") + reason + QStringLiteral(", not ") + Quoted(mStartText);
        return false;
    }
    mHasLoop = false;
    if (mLoopText.isNull()) {
        return true;
    }
    const int dash = mLoopText.indexOf(QLatin1Char('-'), 1);
    const QString expected = QStringLiteral("--loop: expected FROM-TO with FROM before TO, not ") + Quoted(mLoopText);
    if (dash < 0) {
        error = expected;
        return false;
    }
    if (!ParseTime(mLoopText.left(dash), tempo, mLoopFrom, reason) ||
        !ParseTime(mLoopText.mid(dash + 1), tempo, mLoopTo, reason)) {
        error = QStringLiteral("--loop: ") + reason + QStringLiteral(", not ") + Quoted(mLoopText);
        return false;
    }
    if (!(mLoopFrom < mLoopTo)) {
        error = expected;
        return false;
    }
    mHasLoop = true;
    // Played over and over from FROM: without a start of its own it begins there.
    if (mStartText.isNull()) {
        mStart = mLoopFrom;
    }
    return true;
}

std::string PlayerOptions::RepeatedOption(const std::vector<std::string>& arguments)
{
    std::set<std::string> seen;
    for (const std::string& argument : arguments) {
        if (argument.size() > 2 && argument.rfind("--", 0) == 0) {
            const std::string name = argument.substr(0, argument.find('='));
            if (!seen.insert(name).second) {
                return name;
            }
        }
    }
    return std::string();
}

QString PlayerOptions::Usage()
{
    return QStringLiteral(
        "vexel-player [options] [SETTINGS]      play SETTINGS (default: morvelin.xml in the current folder)\n"
        "   or: vexel-player --capture OUT [--quality Q] [--fps N] [--size WxH] [--from TIME] [--to TIME]\n"
        "                    [SETTINGS]\n"
        "   or: vexel-player --check [SETTINGS]\n"
        "   or: vexel-player --analyze [SETTINGS|MUSIC]\n"
        "   or: vexel-player --new DIR\n"
        "SETTINGS is a settings file, or a demo folder with a morvelin.xml.\n"
        "\n"
        "  --check          check SETTINGS and all it names, print every problem;\n"
        "                   status 0 without errors, 1 with\n"
        "  --analyze        the tempo, first downbeat and strongest onsets of the soundtrack\n"
        "                   or MUSIC, and a tempo element to paste\n"
        "  --new DIR        make DIR (new or empty) a demo that plays at once: a settings file,\n"
        "                   a shader, a title, a font and music of its own; prints how to\n"
        "                   play, check and capture it\n"
        "  --window WxH     windowed and resizable, W x H pixels (default 1280x720)\n"
        "  --fullscreen     fullscreen on the desktop's own mode (no display mode change)\n"
        "  --start TIME     start playing at TIME\n"
        "  --loop FROM-TO   play FROM..TO over and over\n"
        "  --paused         open paused\n"
        "  --mute           no sound; the clock still runs\n"
        "  --quiet          only warnings and errors on the console\n"
        "  --help, --version\n"
        "capture, every frame n at exactly FROM + n/FPS, with the soundtrack's FROM..TO:\n"
        "  --capture OUT    by OUT's extension: .mp4 or .mkv H.264 with AAC sound; .webm VP9 with Opus;\n"
        "                   .mov ProRes 422 HQ with 16-bit PCM (for editing); .gif one palette for the\n"
        "                   clip, no sound; a pattern such as frames/%05d.png: PNG frames numbered\n"
        "                   from 0, the sound as audio.wav beside them\n"
        "  --quality Q      draft: fast to look at (x264 veryfast, CRF 20; VP9 realtime, CRF 36)\n"
        "                   final: the default (x264 medium, CRF 18; VP9 good, CRF 31)\n"
        "                   master: for an editor or an archive (x264 slow, CRF 10; VP9 good, CRF 18)\n"
        "                   .mov, .gif and PNG are the same at every quality\n"
        "  --fps N          frames per second (default 60; 25 for a GIF, at most 50)\n"
        "  --size WxH       picture size in pixels, as the parts' window (default 1920x1080)\n"
        "  --from TIME      first frame's time (default 0)\n"
        "  --to TIME        end, not included (default: the end of the last part)\n"
        "  TIME is seconds (12.5) or BAR:BEAT (9:1) with a tempo in the settings file.\n"
        "  Ctrl+C stops and keeps the frames done; --mute gives silence, --quiet as above.\n");
}
