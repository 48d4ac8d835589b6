#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class Tempo;

// The player's command line. Times are kept as written until the settings
// file's tempo is known, since BAR:BEAT needs it.
class PlayerOptions
{
public:
    enum Outcome
    {
        Play,
        ShowHelp,
        ShowVersion,
        // error holds the one line to show.
        UsageError
    };

    // arguments without the program name. Times are checked for their form
    // here, before any file is read; what they mean needs the tempo.
    Outcome Parse(const QStringList& arguments, QString& error);
    // Turns the written times into seconds; false with the line to show.
    bool ResolveTimes(const Tempo* tempo, QString& error);

    static QString Usage();
    // The first option given more than once, as --NAME or --NAME=VALUE, for
    // every parser's options alike; empty when there is none. A value that
    // starts with "--" counts as an option.
    static std::string RepeatedOption(const std::vector<std::string>& arguments);

    QString mSettingsFile = QStringLiteral("morvelin.xml");
    int mWindowWidth = 1280;
    int mWindowHeight = 720;
    bool mFullscreen = false;
    bool mPaused = false;
    bool mMute = false;
    bool mQuiet = false;
    // Check the settings file instead of playing it.
    bool mCheck = false;
    // Report the tempo of the settings file's soundtrack, or of a music file.
    bool mAnalyze = false;
    // Make this folder a new demo instead of playing; null when not asked.
    QString mNewFolder;
    QString mStartText;
    QString mLoopText;

    double mStart = 0.0;
    bool mHasLoop = false;
    double mLoopFrom = 0.0;
    double mLoopTo = 0.0;
};
