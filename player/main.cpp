#include "Halvorn/Tempo.h"
#include "PlayerApp.h"
#include "PlayerCheck.h"
#include "PlayerOptions.h"
#include "TimelineBuilder.h"

#include <QString>
#include <QStringList>

#include <exception>
#include <iostream>
#include <memory>

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

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }

    PlayerOptions options;
    QString error;
    switch (options.Parse(arguments, error)) {
    case PlayerOptions::ShowHelp:
        std::cout << "usage: " << PlayerOptions::Usage().toStdString();
        return 0;
    case PlayerOptions::ShowVersion:
        std::cout << "vexel-player " << VEXEL_PLAYER_VERSION << std::endl;
        return 0;
    case PlayerOptions::UsageError:
        return UsageError(error);
    case PlayerOptions::Play:
        break;
    }
    if (options.mCheck) {
        return PlayerCheck::Command(options.mSettingsFile, std::cout);
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

    // The engine and the parts talk on standard output; quiet keeps errors only.
    if (options.mQuiet) {
        std::cout.rdbuf(nullptr);
    }

    try {
        std::unique_ptr<PlayerApp> app(new PlayerApp(options));
        if (!app->Load(error)) {
            return Failure(error);
        }
        app->Start();
        app->Run();
        return 0;
    } catch (const std::exception& failure) {
        return Failure(QStringLiteral("vexel-player: error: ") + QString::fromUtf8(failure.what()).trimmed());
    } catch (...) {
        // Failed contract checks, after their own report.
        return Failure(QStringLiteral("vexel-player: error: stopped by a failed check (see the report above)"));
    }
}
