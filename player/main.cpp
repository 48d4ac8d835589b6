#include "CaptureApp.h"
#include "CaptureOptions.h"
#include "Halvorn/Tempo.h"
#include "PlayTimeText.h"
#include "PlayerApp.h"
#include "PlayerCheck.h"
#include "PlayerOptions.h"
#include "Sdl2OpenglWindow.h"
#include "StandardShaders.h"
#include "StarterProject.h"
#include "TempoReport.h"
#include "TimelineBuilder.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

int UsageError(const QString& line)
{
    std::cerr << "vexel-player: " << line.toStdString() << std::endl;
    std::cerr << "Try 'vexel-player --help' for more information." << std::endl;
    return 2;
}

int Failure(const QString& line)
{
    std::cerr << line.toStdString() << std::endl;
    return 1;
}

// Player options that steer a window someone watches; a capture, a check
// or an analysis has none.
QString NotWith(const std::vector<std::string>& rest, const char* mode)
{
    for (const std::string& argument : rest) {
        for (const char* option : {"--window", "--fullscreen", "--start", "--loop", "--paused"}) {
            if (argument == option) {
                return QString::fromStdString(argument) + QStringLiteral(": not with ") + QLatin1String(mode);
            }
        }
    }
    return QString();
}

// --new DIR makes a demo folder and does nothing else.
QString NotWithNew(const std::vector<std::string>& given)
{
    bool seen = false;
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (given[i] == "--new" && !seen) {
            seen = true;
            ++i;
            continue;
        }
        const QString other = QString::fromLocal8Bit(given[i].c_str());
        return QStringLiteral("--new: not with ") +
               (other.startsWith(QLatin1Char('-')) ? other : QLatin1Char('"') + other + QLatin1Char('"'));
    }
    return QString();
}

int Capture(const PlayerOptions& options, const CaptureOptions& capture, const Tempo* tempo)
{
    QString error;
    CaptureApp::PreferOffscreenVideo();
    CaptureApp app(options, capture);
    if (!app.Load(error)) {
        return Failure(error);
    }
    CaptureRange range;
    std::string rangeError;
    if (!ResolveCaptureRange(capture, tempo, app.EndTime(), range, rangeError)) {
        return UsageError(QString::fromStdString(rangeError));
    }
    return app.Capture(range);
}

} // namespace

int main(int argc, char** argv)
{
    // The capture options first; the rest are the player's own.
    std::vector<std::string> given(argv + std::min(argc, 1), argv + argc);
    std::vector<std::string> rest;
    CaptureOptions capture;
    std::string captureError;
    if (!ParseCaptureOptions(given, capture, rest, captureError)) {
        return UsageError(QString::fromLocal8Bit(captureError.c_str()));
    }
    QStringList arguments;
    for (const std::string& argument : rest) {
        arguments << QString::fromLocal8Bit(argument.c_str());
    }

    PlayerOptions options;
    QString error;
    switch (options.Parse(arguments, error)) {
    case PlayerOptions::ShowHelp:
        std::cout << "Usage: " << PlayerOptions::Usage().toStdString();
        return 0;
    case PlayerOptions::ShowVersion:
        std::cout << "vexel-player " << VEXEL_PLAYER_VERSION << std::endl;
        return 0;
    case PlayerOptions::UsageError:
        return UsageError(error);
    case PlayerOptions::Play:
        break;
    }
    // Given twice, an option is more likely a slip than a wish for the last one.
    const std::string repeated = PlayerOptions::RepeatedOption(given);
    if (!repeated.empty()) {
        return UsageError(QString::fromStdString(repeated) + QStringLiteral(": given more than once"));
    }
    if (!options.mNewFolder.isNull()) {
        const QString refused = NotWithNew(given);
        if (!refused.isEmpty()) {
            return UsageError(refused);
        }
        return StarterProject::Command(options.mNewFolder, QString::fromLocal8Bit(argv[0]), std::cout, std::cerr);
    }
    // A demo folder stands for its settings file.
    options.mSettingsFile = TimelineBuilder::SettingsFileIn(options.mSettingsFile);
    StandardShaders::UseInstalledBesideProgram();
    if (options.mAnalyze) {
        const QString refused = capture.mEnabled ? QStringLiteral("--analyze: not with --capture")
                                : options.mCheck ? QStringLiteral("--analyze: not with --check")
                                                 : NotWith(rest, "--analyze");
        if (!refused.isEmpty()) {
            return UsageError(refused);
        }
        return TempoReport::Command(options.mSettingsFile, std::cout, std::cerr);
    }
    if (options.mCheck) {
        if (capture.mEnabled) {
            return UsageError(QStringLiteral("--check: not with --capture"));
        }
        const QString refused = NotWith(rest, "--check");
        if (!refused.isEmpty()) {
            return UsageError(refused);
        }
        return PlayerCheck::Command(options.mSettingsFile, std::cout);
    }
    if (capture.mEnabled) {
        const QString refused = NotWith(rest, "--capture");
        if (!refused.isEmpty()) {
            return UsageError(refused);
        }
    }

    // Checked before any window opens: a file that cannot be read is a
    // failure of the work, a time that does not fit its tempo a usage error.
    Tempo tempo;
    bool hasTempo = false;
    if (!TimelineBuilder::Check(options.mSettingsFile, tempo, hasTempo, error)) {
        return Failure(error);
    }
    if (!options.ResolveTimes(hasTempo ? &tempo : nullptr, error)) {
        return UsageError(error);
    }
    // A FIFO would block the music's loading or the capture's decoding for ever.
    if (!options.mMute && !(capture.mEnabled && capture.mKind == CaptureOutputKind::Gif) &&
        !TimelineBuilder::CheckSoundtrackKind(options.mSettingsFile, error)) {
        return Failure(error);
    }
    if (capture.mEnabled) {
        // The times' own faults now, before a window opens; the real end of
        // the demo is known once its parts are built.
        const double anyEnd = 1e9;
        CaptureRange range;
        std::string rangeError;
        if (!ResolveCaptureRange(capture, hasTempo ? &tempo : nullptr, anyEnd, range, rangeError)) {
            return UsageError(QString::fromLocal8Bit(rangeError.c_str()));
        }
    }

    // The engine and the parts talk on standard output; quiet keeps errors only.
    if (options.mQuiet) {
        std::cout.rdbuf(nullptr);
    }

    try {
        if (capture.mEnabled) {
            return Capture(options, capture, hasTempo ? &tempo : nullptr);
        }
        std::unique_ptr<PlayerApp> app(new PlayerApp(options));
        if (!app->Load(error)) {
            return Failure(error);
        }
        // Only the parts tell where the demo ends.
        if (options.mHasLoop && options.mLoopFrom >= app->EndTime()) {
            return UsageError(QStringLiteral("--loop: the demo ends at ") + PlayTimeText::Clock(app->EndTime()) +
                              QStringLiteral(", before the loop starts, not \"") + options.mLoopText +
                              QLatin1Char('"'));
        }
        app->Start();
        app->Run();
        return 0;
    } catch (const Sdl2OpenglWindow::NoDisplay& failure) {
        return Failure(QStringLiteral("vexel-player: error: no display could be opened: ") +
                       QString::fromStdString(failure.mReason) +
                       QStringLiteral("; --check and --capture work without one"));
    } catch (const std::exception& failure) {
        return Failure(QStringLiteral("vexel-player: error: ") + QString::fromUtf8(failure.what()).trimmed());
    } catch (...) {
        // Failed contract checks, after their own report.
        return Failure(QStringLiteral("vexel-player: error: stopped by a failed check (see the report above)"));
    }
}
