#pragma once

#include "FrameLayout.h"

#include <GL/glew.h>

#include <cstdint>
#include <vector>

// Turns a rendered picture into the encoder's pixel layout on the GPU (BT.709
// limited-range YUV planes, or packed RGB or BGRA), top row first, and reads
// it back through pixel buffer objects taken in turn, so the read of one
// frame overlaps the drawing of the next. Needs a current GL context; the GL
// state it touches is restored after each call.
class FrameConverter
{
public:
    // buffers: frames that may be in flight at once (two or more).
    FrameConverter(const FrameLayout& layout, int buffers);
    ~FrameConverter();

    FrameConverter(const FrameConverter&) = delete;
    FrameConverter& operator=(const FrameConverter&) = delete;

    // Converts picture (an RGBA8 texture of the layout's size, bottom row
    // first, as a RenderTarget holds it) and starts its read back. Only while
    // fewer than Capacity() frames are pending.
    void Convert(GLuint picture);
    // Waits for the oldest pending frame and copies it to frame, which holds
    // layout.FrameBytes() bytes.
    void Collect(std::uint8_t* frame);

    int Pending() const { return mPending; }
    int Capacity() const { return static_cast<int>(mBuffers.size()); }
    const FrameLayout& Layout() const { return mLayout; }

private:
    // One draw into one or two integer textures of a framebuffer.
    struct Pass
    {
        GLuint mProgram = 0;
        GLuint mFramebuffer = 0;
        GLuint mTextures[2] = {0, 0};
        int mTargets = 0;
        int mWidth = 0;
        int mHeight = 0;
    };

    // kind: 0 luma, 1 chroma (U and V), 2 packed RGB, 3 packed BGRA.
    void MakePass(Pass& pass, int kind, GLenum internalFormat, GLenum format, GLenum type, int width, int height,
                  int targets);
    void Draw(const Pass& pass);
    void Read(const Pass& pass, int target, GLenum format, GLenum type, std::size_t offset);
    void Release();

    FrameLayout mLayout;
    GLuint mVertexArray = 0;
    Pass mLuma;
    Pass mChroma;
    std::vector<GLuint> mBuffers;
    int mNext = 0;
    int mPending = 0;
};
