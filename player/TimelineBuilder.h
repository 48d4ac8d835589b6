#pragma once

#include <QString>

#include <vector>

class DemoApp;
class DemoModel;
class Tempo;

// The one place where the player turns a settings file into a timeline.
// Nothing here exits or opens a dialog: every failure comes back as the text
// to show, "FILE:LINE:COL: error: MESSAGE" where the file gives a position.
class TimelineBuilder
{
public:
    // The settings file a SETTINGS argument names: a folder's morvelin.xml
    // when the folder has one, otherwise the argument as it is.
    static QString SettingsFileIn(const QString& given);
    // Parses only; tempo and hasTempo as the file states them.
    static bool Check(const QString& settingsFile, Tempo& tempo, bool& hasTempo, QString& error);
    // Fills the empty model with parts made by app; the parts load their
    // shaders and pictures, so a GL context must be current.
    static bool Build(const QString& settingsFile, DemoApp* app, DemoModel* model, QString& error);
    // The files a timeline is made from: the settings file, the shader pair
    // and every picture, font and shader file the file names (what the file
    // names as it is now).
    static std::vector<QString> InputFiles(const QString& settingsFile);
    // The folder the settings file lies in, where its data folder is.
    static QString DataRoot(const QString& settingsFile);
    // The end of the last part with a finite end, 0 for none.
    static double EndTime(const DemoModel& model);
    // A soundtrack named in the file, found from its folder.
    static QString SoundtrackPath(const QString& settingsFile, const QString& soundtrack);
    // False with the located error when the file's soundtrack exists but is
    // not a regular file: opening a FIFO or a device would wait for ever.
    // Looks without opening it.
    static bool CheckSoundtrackKind(const QString& settingsFile, QString& error);
};
