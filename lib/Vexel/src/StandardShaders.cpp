#include "StandardShaders.h"

#include "ShaderProgram.h"

#include <SDL.h>

#include <QDir>
#include <QFileInfo>

#include <iostream>

QString StandardShaders::sInstalledFolder;
bool StandardShaders::sAnnounced = false;

QString StandardShaders::FolderFor(const QString& demoShaderFolder)
{
    // One file of the pair alone is the maker's mistake, reported as such,
    // not hidden behind the installed pair.
    if (sInstalledFolder.isEmpty() || HasEither(demoShaderFolder)) {
        return demoShaderFolder;
    }
    return sInstalledFolder;
}

QString StandardShaders::Use(const QString& demoShaderFolder)
{
    const QString folder = FolderFor(demoShaderFolder);
    if (folder != demoShaderFolder && !sAnnounced) {
        sAnnounced = true;
        std::cout << "no standard shader pair in " << demoShaderFolder.toStdString() << ": using the installed one in "
                  << folder.toStdString() << std::endl;
    }
    return folder;
}

void StandardShaders::SetInstalledFolder(const QString& folder)
{
    sInstalledFolder = folder;
    if (!sInstalledFolder.isEmpty() && !sInstalledFolder.endsWith(QLatin1Char('/'))) {
        sInstalledFolder += QLatin1Char('/');
    }
}

QString StandardShaders::InstalledBeside(const QString& programFolder)
{
    const QString folder =
        QDir::cleanPath(programFolder + QStringLiteral("/../share/vexel/shaders")) + QLatin1Char('/');
    return HasBoth(folder) ? folder : QString();
}

void StandardShaders::UseInstalledBesideProgram()
{
    char* base = SDL_GetBasePath();
    if (base == nullptr) {
        return;
    }
    SetInstalledFolder(InstalledBeside(QString::fromLocal8Bit(base)));
    SDL_free(base);
}

bool StandardShaders::HasEither(const QString& folder)
{
    return QFileInfo::exists(folder + StandardVertexShaderFile) ||
           QFileInfo::exists(folder + StandardFragmentShaderFile);
}

bool StandardShaders::HasBoth(const QString& folder)
{
    return QFileInfo(folder + StandardVertexShaderFile).isFile() &&
           QFileInfo(folder + StandardFragmentShaderFile).isFile();
}
