#include "SdlInitWrapper.h"

#include "AssertException.h"

#include <SDL.h>

#include <iostream>
#include <stdexcept>
#include <string>

namespace {

// SDL's own word on why, on the line after the report's: the first line
// keeps its form.
std::string Reason()
{
    const char* error = SDL_GetError();
    return error != nullptr && *error != '\0' ? std::string("  SDL: ") + error : std::string();
}

} // namespace

SdlInitWrapper::~SdlInitWrapper()
{
    if (mSdlInitialized) {
        std::cout << "SDL quit was called!" << std::endl;
        SDL_Quit();
    } else {
        std::cout << "SDL quit was NOT called!" << std::endl;
    }
}

bool SdlInitWrapper::Init(unsigned int flags)
{
    if (!mSdlInitialized) {
        std::cout << "SDL init was called! (flag=" << flags << ")" << std::endl;
        if (SDL_Init(flags) != 0) {
            throw std::runtime_error("Could not initialize SDL with flags (" + FlagsToString(flags) + ")\n" + Reason());
        }
        mSdlInitialized = true;
        return true;
    }

    std::cout << "SDL wasinit was called! (flag=" << flags << ")" << std::endl;
    if (SDL_WasInit(flags) == flags) {
        return true;
    }
    std::cout << "SDL subsystem init was called!" << std::endl;
    if (SDL_InitSubSystem(flags) != 0) {
        throw std::runtime_error("Could not initialize SDL subsystems with flags (" + FlagsToString(flags) + ")\n" +
                                 Reason());
    }
    return true;
}

void SdlInitWrapper::QuitSubSystem(unsigned int flags)
{
    BOOST_ASSERT(mSdlInitialized == true);
    std::cout << "SDL quitsubsystem was called!" << std::endl;
    SDL_QuitSubSystem(flags);
}

std::string SdlInitWrapper::FlagsToString(unsigned int flags)
{
    struct Name { unsigned int mask; const char* text; };
    static const Name names[] = {
        {0x1, "SDL_INIT_TIMER, "},
        {0x10, "SDL_INIT_AUDIO, "},
        {0x20, "SDL_INIT_VIDEO, "},
        {0x200, "SDL_INIT_JOYSTICK, "},
        {0x1000, "SDL_INIT_HAPTIC, "},
        {0x2000, "SDL_INIT_GAMECONTROLLER, "},
        {0x4000, "SDL_INIT_EVENTS, "},
        {0x7231, "SDL_INIT_EVERYTHING, "},
        {0x100000, "SDL_INIT_NOPARACHUTE, "},
    };
    std::string text;
    for (const Name& name : names) {
        if ((flags & name.mask) == name.mask) {
            text += name.text;
        }
    }
    return text;
}
