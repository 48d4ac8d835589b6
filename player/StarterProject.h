#pragma once

#include <QString>

#include <iosfwd>
#include <string>

// vexel-player --new DIR: a new demo folder that plays, checks and captures
// as it is. A settings file with a tempo, a background, a shader, a title
// and animations; the standard shader pair and the shader in data/shaders/,
// the default font and its licence in data/fonts/, and a soundtrack of its
// own in data/music/. Its files are built into the program, so any copy of
// it makes the same demo.
class StarterProject
{
public:
    // The tempo and length the settings file and the soundtrack share.
    static constexpr int Bpm = 120;
    static constexpr int BeatsPerBar = 4;
    static constexpr int Bars = 8;

    // Makes folder, as the user gave it, and prints on out the commands that
    // play, check and capture it, with program as the player's name; or one
    // line on err. Returns the exit status: 0 when made, 1 when not.
    static int Command(const QString& folder, const QString& program, std::ostream& out, std::ostream& err);

    // The settings file of a demo named name.
    static std::string SettingsFile(const QString& name);
};
