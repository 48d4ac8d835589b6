#pragma once

#include "Halvorn/Diagnostic.h"
#include "Halvorn/SettingsCheck.h"
#include "Halvorn/Tempo.h"

#include <QString>
#include <QStringList>

#include <iosfwd>
#include <vector>

class XmlElement;

// The whole-file check as the player runs it: the settings check with the
// animate elements checked too, and shaders compiled when a GL context is
// current. Used by --check, and before the player or a capture starts and
// before every reload: what --check calls an error stops each of them alike.
class PlayerCheck
{
public:
    // withGl: a GL context is current and stays so for every Run.
    // withSoundtrack: off when no sound plays, so the music need not load.
    explicit PlayerCheck(bool withGl, bool withSoundtrack = true);

    std::vector<Diagnostic> Run(const QString& settingsFile);
    // The errors that keep the file from being played, each as
    // FILE:LINE:COL: error: MESSAGE; warnings go to warnings when given.
    QStringList Blocking(const QString& settingsFile, std::ostream* warnings);

    // --check: every diagnostic, then the summary, on out; 0 without errors,
    // 1 otherwise. Opens a hidden window for the GL facts when it can.
    static int Command(const QString& settingsFile, std::ostream& out);

private:
    // A react element, checked as the loader reads it.
    static void CheckReaction(SettingsCheck& check, const XmlElement& part, const XmlElement& react);

    SettingsCheck mCheck;
    // The file's tempo, read before each run for animate beats.
    Tempo mTempo;
    bool mHasTempo = false;
};
