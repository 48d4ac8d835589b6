#pragma once

#include <GL/glew.h>

// A 2-D RGBA texture (8-bit unless another internal format is asked for)
// with a framebuffer of its own, to draw into and then sample (linear
// filtering, clamped at the edges). Starts transparent black.
class TextureTarget
{
public:
    // Throws std::runtime_error when the driver cannot make it.
    TextureTarget(int width, int height, GLenum internalFormat = GL_RGBA8);
    ~TextureTarget();

    TextureTarget(const TextureTarget&) = delete;
    TextureTarget& operator=(const TextureTarget&) = delete;

    // The whole of it to transparent black, whatever the scissor test says.
    // Leaves its framebuffer bound.
    void Clear();

    GLuint Texture() const { return mTexture; }
    GLuint Framebuffer() const { return mFramebuffer; }
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }
    GLenum InternalFormat() const { return mInternalFormat; }

private:
    int mWidth;
    int mHeight;
    GLenum mInternalFormat;
    GLuint mTexture = 0;
    GLuint mFramebuffer = 0;
};
