#pragma once

#include <SDL.h>

#include <filesystem>
#include <stdexcept>

namespace VexelTest {

// What settings files under test refer to: the demo's shaders, its music as
// data/music/track.ogg, and an 8-bit picture data/textures/palette.bmp that
// is not true-colour.
inline void CopyDemoData(const std::filesystem::path& folder)
{
    namespace fs = std::filesystem;
    fs::create_directories(folder / "data/textures");
    fs::create_directories(folder / "data/music");
    fs::copy(VEXEL_DEMO_DIR "/data/shaders", folder / "data/shaders");
    fs::copy(VEXEL_DEMO_DIR "/data/music/morvelin.ogg", folder / "data/music/track.ogg");
    SDL_Surface* palette = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 8, SDL_PIXELFORMAT_INDEX8);
    const bool saved = palette != nullptr && SDL_SaveBMP(palette, (folder / "data/textures/palette.bmp").c_str()) == 0;
    SDL_FreeSurface(palette);
    if (!saved) {
        throw std::runtime_error(SDL_GetError());
    }
}

} // namespace VexelTest
