#pragma once

#include "WindowPlacement.h"

#include <QString>
#include <SDL.h>

#include <stdexcept>
#include <string>

// The one window with its OpenGL context, fullscreen unless placed otherwise.
// Creating it brings SDL up and loads the GL entry points; destroying it
// shuts SDL down. mWidth and mHeight stay the logical size the parts draw for,
// whatever size the window has on the desktop.
class Sdl2OpenglWindow
{
public:
    // No display to show a window on: SDL would fall back to a driver that
    // shows nothing, and the demo would play unseen. what() is the one line
    // to show; mReason says which display was missing.
    class NoDisplay : public std::runtime_error
    {
    public:
        explicit NoDisplay(const std::string& reason);
        std::string mReason;
    };

    Sdl2OpenglWindow(int width, int height, float aspectRatio, const QString& title, int glMajorVersion, int glMinorVersion,
                     const WindowPlacement& placement = WindowPlacement());
    ~Sdl2OpenglWindow();

    Sdl2OpenglWindow(const Sdl2OpenglWindow&) = delete;
    Sdl2OpenglWindow& operator=(const Sdl2OpenglWindow&) = delete;

    void SetWindowTitle(const QString& title);
    void SwapBuffers();
    // Between a window and the desktop's own mode; false if SDL refused.
    bool SetFullscreenDesktop(bool fullscreen);
    bool IsFullscreen() const;
    // The pixels the context draws into, which may differ from mWidth x mHeight.
    void GetDrawableSize(int& width, int& height) const;

    int mWidth = 0;
    int mHeight = 0;
    // As given, never derived from the size.
    float mAspectRatio;
    QString mTitle;
    SDL_Window* mWindow = nullptr;
    SDL_GLContext mContext = nullptr;
};
