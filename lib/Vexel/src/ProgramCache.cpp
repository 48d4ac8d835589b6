#include "ProgramCache.h"

#include <SDL.h>

#include <QDateTime>
#include <QFileInfo>

#include <map>
#include <utility>

namespace {

// An edited file is a new entry: a reloaded part sees the new source.
QString FileKey(const QString& fileName)
{
    const QFileInfo info(fileName);
    return info.absoluteFilePath() + QLatin1Char('|') + QString::number(info.lastModified().toMSecsSinceEpoch()) +
           QLatin1Char('|') + QString::number(info.size());
}

using Key = std::pair<void*, QString>;

std::map<Key, std::weak_ptr<ShaderProgram>>& Entries()
{
    static std::map<Key, std::weak_ptr<ShaderProgram>> entries;
    return entries;
}

void DropExpired()
{
    auto& entries = Entries();
    for (auto it = entries.begin(); it != entries.end();) {
        it = it->second.expired() ? entries.erase(it) : std::next(it);
    }
}

} // namespace

std::shared_ptr<ShaderProgram> ProgramCache::Acquire(const QString& vertexFile, const QString& fragmentFile,
                                                    bool* built)
{
    DropExpired();
    const Key key(SDL_GL_GetCurrentContext(), FileKey(vertexFile) + QLatin1Char('\n') + FileKey(fragmentFile));
    if (std::shared_ptr<ShaderProgram> shared = Entries()[key].lock()) {
        if (built != nullptr) {
            *built = false;
        }
        return shared;
    }
    if (built != nullptr) {
        *built = true;
    }
    auto program = std::make_shared<ShaderProgram>();
    program->Init();
    // Both stages are tried, as each reports its own failure.
    const bool vertexCompiled = program->CompileAndAddShaderFromFile(vertexFile, Shader::Vertex);
    const bool fragmentCompiled = program->CompileAndAddShaderFromFile(fragmentFile, Shader::Fragment);
    program->Link();
    if (vertexCompiled && fragmentCompiled && program->IsLinked()) {
        Entries()[key] = program;
    } else {
        Entries().erase(key);
    }
    return program;
}

std::shared_ptr<ShaderProgram> ProgramCache::AcquireBuilt(const QString& key,
                                                          const std::function<bool(ShaderProgram&)>& build, bool* built)
{
    DropExpired();
    // Apart from the file pairs, whose keys hold a line end between the two.
    const Key entry(SDL_GL_GetCurrentContext(), QStringLiteral("built|") + key);
    if (std::shared_ptr<ShaderProgram> shared = Entries()[entry].lock()) {
        if (built != nullptr) {
            *built = false;
        }
        return shared;
    }
    if (built != nullptr) {
        *built = true;
    }
    auto program = std::make_shared<ShaderProgram>();
    if (build(*program)) {
        Entries()[entry] = program;
    } else {
        Entries().erase(entry);
    }
    return program;
}

QString ProgramCache::FileStamp(const QString& fileName)
{
    return FileKey(fileName);
}

std::size_t ProgramCache::Count()
{
    DropExpired();
    return Entries().size();
}
