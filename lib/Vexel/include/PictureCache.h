#pragma once

#include "Texture.h"

#include <QString>

#include <cstddef>
#include <memory>
#include <vector>

// Pictures uploaded once per file and GL context, however many parts show
// them; a texture goes when its last user does. Files can be decoded ahead,
// on worker threads, while the main thread goes on loading.
class PictureCache
{
public:
    // Starts decoding each distinct file on the worker threads; no GL.
    static void Prefetch(const std::vector<QString>& fileNames);
    // Waits for the decoding still running and drops decoded pictures that
    // no Acquire took.
    static void DropPrefetched();
    // The texture of the file as it is on disk: uploaded on the first call
    // (from the decoded picture, if prefetched) with no mipmaps and the given
    // wrapping, shared by later calls while anyone holds it. A file that
    // cannot be loaded throws as Texture::Load does, for every caller, and
    // leaves the other entries as they are.
    static std::shared_ptr<const Texture> Acquire(const QString& fileName, int wrapS, int wrapT);
    // Textures alive in the cache, in any context.
    static std::size_t Count();
};
