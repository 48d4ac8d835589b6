#pragma once

#include "ShaderProgram.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <memory>

// Linked shader programs by file pair, one per GL context: parts that draw
// with the same pair share one GL program, which goes when its last user does.
class ProgramCache
{
public:
    // Built (Init, both stages, Link) on the first call for the pair and the
    // files as they are on disk; later calls share it while anyone holds it.
    // A pair that fails to compile or link is built again for every caller,
    // so each repeats the reports. built, if given, tells whether this call built it.
    static std::shared_ptr<ShaderProgram> Acquire(const QString& vertexFile, const QString& fragmentFile,
                                                  bool* built = nullptr);
    // A program that build makes (Init, stages, link) from texts of its own,
    // shared under key, which says what it is made from: FileStamp of its
    // file, so an edited file is built anew. One that build returns false
    // for is not kept, so each caller sees its failure.
    static std::shared_ptr<ShaderProgram>
    AcquireBuilt(const QString& key, const std::function<bool(ShaderProgram&)>& build, bool* built = nullptr);
    // A file's path with its size and modification time.
    static QString FileStamp(const QString& fileName);
    // Programs alive in the cache, in any context.
    static std::size_t Count();
};
