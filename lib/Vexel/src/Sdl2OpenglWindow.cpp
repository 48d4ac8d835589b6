#include "Sdl2OpenglWindow.h"

#include "CheckGlError.h"
#include "SdlInitWrapper.h"

#include <GL/glew.h>

#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

[[noreturn]] void Fail(const std::string& text)
{
    std::cerr << text << std::endl;
    throw std::runtime_error(text);
}

bool Named(const char* variable)
{
    const char* value = SDL_getenv(variable);
    return value != nullptr && *value != '\0';
}

// A driver named in the environment or a hint is used as it is.
bool DriverAsked()
{
    return Named("SDL_VIDEODRIVER") || SDL_GetHint(SDL_HINT_VIDEODRIVER) != nullptr;
}

// Without a display SDL tries each of its drivers in turn, and ends on one
// that draws into memory: wanted only where it was asked for, or for a
// hidden window.
bool ShowsNothing(const char* driver)
{
    return !DriverAsked() && driver != nullptr &&
           (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

std::string MissingDisplay()
{
    const char* display = SDL_getenv("DISPLAY");
    if (display == nullptr) {
        return "DISPLAY is not set";
    }
    if (*display == '\0') {
        return "DISPLAY is empty";
    }
    return std::string("no X server at DISPLAY \"") + display + "\"";
}

} // namespace

Sdl2OpenglWindow::NoDisplay::NoDisplay(const std::string& reason)
    : std::runtime_error("No display could be opened: " + reason)
    , mReason(reason)
{
}

Sdl2OpenglWindow::Sdl2OpenglWindow(int width, int height, float aspectRatio, const QString& title, int glMajorVersion,
                                   int glMinorVersion, const WindowPlacement& placement)
    : mAspectRatio(aspectRatio)
    , mTitle(title)
{
    std::cout << "Sdl2OpenglWindow::Sdl2OpenglWindow()" << std::endl;
    const bool shown = placement.mMode != WindowPlacement::Hidden;
    if (shown && !DriverAsked() && !Named("DISPLAY") && !Named("WAYLAND_DISPLAY")) {
        throw NoDisplay(MissingDisplay());
    }
    SdlInitWrapper::Instance()->Init(SDL_INIT_TIMER | SDL_INIT_VIDEO);
    if (shown && ShowsNothing(SDL_GetCurrentVideoDriver())) {
        throw NoDisplay(MissingDisplay());
    }

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, glMajorVersion);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, glMinorVersion);
    // Mesa offers 3.2 and later only as core profile contexts; older
    // versions have no profiles to ask for.
    const bool hasProfiles = glMajorVersion > 3 || (glMajorVersion == 3 && glMinorVersion >= 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, hasProfiles ? SDL_GL_CONTEXT_PROFILE_CORE : 0);
    CHECK_GL_ERROR("", "");

    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    CHECK_GL_ERROR("", "");

    Uint32 flags = SDL_WINDOW_OPENGL;
    // Fullscreen modes take the demo's size; the others may have their own.
    const bool ownSize = placement.mMode == WindowPlacement::Windowed || placement.mMode == WindowPlacement::Hidden;
    const int windowWidth = ownSize && placement.mWidth > 0 ? placement.mWidth : width;
    const int windowHeight = ownSize && placement.mHeight > 0 ? placement.mHeight : height;
    switch (placement.mMode) {
    case WindowPlacement::Fullscreen:
        flags |= SDL_WINDOW_FULLSCREEN;
        break;
    case WindowPlacement::Windowed:
        flags |= SDL_WINDOW_RESIZABLE;
        break;
    case WindowPlacement::FullscreenDesktop:
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_RESIZABLE;
        break;
    case WindowPlacement::Hidden:
        flags |= SDL_WINDOW_HIDDEN;
        break;
    }
    mWindow = SDL_CreateWindow(mTitle.toLocal8Bit().constData(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                               windowWidth, windowHeight, flags);
    CHECK_GL_ERROR("", "");
    if (mWindow == nullptr) {
        Fail(std::string("ERROR: Could not create window: ") + SDL_GetError());
    }

    mWidth = width;
    mHeight = height;
    CHECK_GL_ERROR("", "");

    mContext = SDL_GL_CreateContext(mWindow);
    CHECK_GL_ERROR("", "");
    if (mContext == nullptr) {
        // Reported here with SDL's reason; it would otherwise surface later
        // as a GLEW failure that says nothing.
        const std::string text = std::string("ERROR: Could not create OpenGL context: ") + SDL_GetError();
        SDL_DestroyWindow(mWindow);
        mWindow = nullptr;
        Fail(text);
    }

    // Fails on drivers without vertical sync; frames are then paced by the
    // main loop's sleep alone.
    SDL_GL_SetSwapInterval(1);
    CHECK_GL_ERROR("", "");

    glewExperimental = GL_TRUE;
    const GLenum glewResult = glewInit();
    // Without an X display (an EGL context, as SDL's offscreen driver makes)
    // GLEW has loaded the GL entry points and stops at its GLX extensions,
    // which nothing here uses.
    if (glewResult != GLEW_OK && glewResult != GLEW_ERROR_NO_GLX_DISPLAY) {
        const std::string text =
            std::string("ERROR: Could not init GLEW: ") + reinterpret_cast<const char*>(glewGetErrorString(glewResult));
        SDL_GL_DeleteContext(mContext);
        mContext = nullptr;
        SDL_DestroyWindow(mWindow);
        mWindow = nullptr;
        Fail(text);
    }

    // glewInit queries the extension string the old way, which a core
    // context refuses; those errors are GLEW's and not worth a report. A
    // bounded loop, because a lost context keeps reporting.
    for (int i = 0; i < 64 && glGetError() != GL_NO_ERROR; ++i) {
    }

    // A window on the desktop keeps its pointer.
    if (placement.mMode == WindowPlacement::Fullscreen || placement.mMode == WindowPlacement::FullscreenDesktop) {
        SDL_ShowCursor(SDL_DISABLE);
    }
    glClearColor(1.0f, 0.0f, 0.0f, 0.0f);
    CHECK_GL_ERROR("", "");
}

Sdl2OpenglWindow::~Sdl2OpenglWindow()
{
    std::cout << "Sdl2OpenglWindow::~Sdl2OpenglWindow()" << std::endl;
    SDL_GL_DeleteContext(mContext);
    SDL_DestroyWindow(mWindow);
    // Directly, not through the start-up wrapper: it quits SDL once more
    // when it is released at exit.
    SDL_Quit();
}

void Sdl2OpenglWindow::SetWindowTitle(const QString& title)
{
    std::cout << "Sdl2OpenglWindow::SetWindowTitle()" << std::endl;
    mTitle = title;
    SDL_SetWindowTitle(mWindow, mTitle.toLocal8Bit().constData());
}

void Sdl2OpenglWindow::SwapBuffers()
{
    SDL_GL_SwapWindow(mWindow);
}

bool Sdl2OpenglWindow::SetFullscreenDesktop(bool fullscreen)
{
    const bool done = SDL_SetWindowFullscreen(mWindow, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0;
    SDL_ShowCursor(IsFullscreen() ? SDL_DISABLE : SDL_ENABLE);
    return done;
}

bool Sdl2OpenglWindow::IsFullscreen() const
{
    return (SDL_GetWindowFlags(mWindow) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP)) != 0;
}

void Sdl2OpenglWindow::GetDrawableSize(int& width, int& height) const
{
    SDL_GL_GetDrawableSize(mWindow, &width, &height);
}
