#pragma once

#include <GL/glew.h>

#include <string>

// The compute images of a showdown shader: computeTex, three r32ui images
// written this frame (image units 0-2, cleared to 0 before it), and
// computeTexBack, what they held at the end of the last frame (units 3-5).
// The two sets change places each frame; nothing is copied.
class ComputeImages
{
public:
    ComputeImages() = default;
    ~ComputeImages();

    ComputeImages(const ComputeImages&) = delete;
    ComputeImages& operator=(const ComputeImages&) = delete;

    // Whether the current context binds images (OpenGL 4.2, or the
    // extension); version says what it gives, as "3.3".
    static bool Supported(std::string& version);

    // Both sets at this size, all zero, when they are not that size yet.
    void Resize(int width, int height);
    // Every image to zero.
    void Clear();
    // Clears this frame's set and binds both. Leaves the draw framebuffer
    // binding changed.
    void BeginFrame();
    // This frame's writes become visible to the next frame's reads, which
    // find them in computeTexBack.
    void EndFrame();
    // The next frame is the last one again: it reads what that one read.
    void Repeat();

    static constexpr int ImagesPerSet = 3;

private:
    void Release();

    int mWidth = 0;
    int mHeight = 0;
    GLuint mTextures[2][ImagesPerSet] = {};
    GLuint mFramebuffers[2] = {0, 0};
    int mCurrent = 0;
};
