#pragma once

#include <SDL.h>

#include <map>
#include <memory>

// One T per GL context, made in the current one on first use and shared by
// every caller while anyone holds it; it goes with its last user.
template <typename T>
std::shared_ptr<T> AcquirePerContext()
{
    static std::map<void*, std::weak_ptr<T>> sEntries;
    std::weak_ptr<T>& entry = sEntries[SDL_GL_GetCurrentContext()];
    std::shared_ptr<T> shared = entry.lock();
    if (!shared) {
        shared = std::make_shared<T>();
        entry = shared;
    }
    return shared;
}
