#pragma once

#include <GL/glew.h>

// A 2-D RGBA8 texture with a framebuffer of its own, to draw into and then
// sample (linear filtering, clamped at the edges). Starts transparent black.
class TextureTarget
{
public:
    // Throws std::runtime_error when the driver cannot make it.
    TextureTarget(int width, int height);
    ~TextureTarget();

    TextureTarget(const TextureTarget&) = delete;
    TextureTarget& operator=(const TextureTarget&) = delete;

    // To transparent black. Leaves its framebuffer bound.
    void Clear();

    GLuint Texture() const { return mTexture; }
    GLuint Framebuffer() const { return mFramebuffer; }
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }

private:
    int mWidth;
    int mHeight;
    GLuint mTexture = 0;
    GLuint mFramebuffer = 0;
};
