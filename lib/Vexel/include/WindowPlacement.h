#pragma once

// How the window sits on the desktop. The demo takes the screen over with a
// display mode change; a tool runs in a window or on the desktop's own mode.
struct WindowPlacement
{
    enum Mode
    {
        Fullscreen,
        Windowed,
        FullscreenDesktop,
        // Never shown: for drawing offscreen at a size of its own.
        Hidden
    };

    Mode mMode = Fullscreen;
    // The window's size in pixels when windowed or hidden; 0 takes the logical size.
    int mWidth = 0;
    int mHeight = 0;
};
