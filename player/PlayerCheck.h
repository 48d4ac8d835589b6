#pragma once

#include "Halvorn/Diagnostic.h"
#include "Halvorn/SettingsCheck.h"
#include "Halvorn/Tempo.h"

#include <QString>

#include <iosfwd>
#include <vector>

class XmlElement;

// The whole-file check as the player runs it: the settings check with the
// animate elements checked too, and shaders compiled when a GL context is
// current. Used by --check and before every reload.
class PlayerCheck
{
public:
    // withGl: a GL context is current and stays so for every Run.
    explicit PlayerCheck(bool withGl);

    std::vector<Diagnostic> Run(const QString& settingsFile);

    // What keeps a reload from going ahead: errors, and shader reports, since
    // a part with a broken program would draw nothing.
    static bool BlocksReload(const Diagnostic& diagnostic, const QString& settingsFile);

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
