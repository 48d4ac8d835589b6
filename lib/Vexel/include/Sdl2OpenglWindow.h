#pragma once

#include <QString>
#include <SDL.h>

// The one fullscreen window with its OpenGL context. Creating it brings SDL
// up and loads the GL entry points; destroying it shuts SDL down.
class Sdl2OpenglWindow
{
public:
    Sdl2OpenglWindow(int width, int height, float aspectRatio, const QString& title, int glMajorVersion, int glMinorVersion);
    ~Sdl2OpenglWindow();

    Sdl2OpenglWindow(const Sdl2OpenglWindow&) = delete;
    Sdl2OpenglWindow& operator=(const Sdl2OpenglWindow&) = delete;

    void SetWindowTitle(const QString& title);
    void SwapBuffers();

    int mWidth = 0;
    int mHeight = 0;
    // As given, never derived from the size.
    float mAspectRatio;
    QString mTitle;
    SDL_Window* mWindow = nullptr;
    SDL_GLContext mContext = nullptr;
};
