#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <vector>

// An offscreen framebuffer of a fixed size with a colour and a depth buffer,
// so frames can be drawn at a size other than the window's and read back.
class RenderTarget
{
public:
    // Throws std::runtime_error when the driver cannot make a complete
    // framebuffer of that size.
    RenderTarget(int width, int height);
    ~RenderTarget();

    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    // Draws go here, with the viewport covering the whole target, until Unbind.
    void Bind();
    // Back to the window, with the viewport it had before Bind.
    void Unbind();

    // The colour buffer as tightly packed RGB bytes, bottom row first (as
    // glReadPixels gives them); resizes pixels to width * height * 3.
    void ReadRgb(std::vector<std::uint8_t>& pixels) const;

    // The colour buffer as an RGBA8 texture, bottom row first; sample it
    // after Unbind.
    GLuint GetColourTexture() const { return mColour; }
    int GetWidth() const { return mWidth; }
    int GetHeight() const { return mHeight; }

private:
    void Release();

    int mWidth;
    int mHeight;
    GLuint mFramebuffer = 0;
    GLuint mColour = 0;
    GLuint mDepth = 0;
    GLint mSavedViewport[4] = {0, 0, 0, 0};
    bool mBound = false;
};
