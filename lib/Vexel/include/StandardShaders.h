#pragma once

#include <QString>

// Where the standard shader pair is read from. A demo brings its own pair in
// data/shaders/; an installed player also knows the pair installed with it
// and uses that for a demo folder that has neither file. Nothing is installed
// for morvelin, which keeps reading only the demo's own folder.
class StandardShaders
{
public:
    // The folder (ending in '/') to read the pair from, given the demo's
    // shader folder: that folder, or the installed one when the demo's has
    // neither file and an installed folder is set.
    static QString FolderFor(const QString& demoShaderFolder);
    // FolderFor, and the first time it falls back one line on standard output
    // saying which folder is used instead of which.
    static QString Use(const QString& demoShaderFolder);

    // The installed pair's folder; empty for none.
    static void SetInstalledFolder(const QString& folder);
    // PREFIX/share/vexel/shaders/ for a program in PREFIX/bin/, when it holds
    // both files; empty otherwise. Relative to the program, so an unpacked
    // package works wherever it lies.
    static QString InstalledBeside(const QString& programFolder);
    // InstalledBeside the running program, as SetInstalledFolder.
    static void UseInstalledBesideProgram();

private:
    static bool HasEither(const QString& folder);
    static bool HasBoth(const QString& folder);

    static QString sInstalledFolder;
    static bool sAnnounced;
};
