#include "ComputeImages.h"

#include "CheckGlError.h"

#include <cstring>

ComputeImages::~ComputeImages()
{
    Release();
}

bool ComputeImages::Supported(std::string& version)
{
    GLint major = 0;
    GLint minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    version = std::to_string(major) + "." + std::to_string(minor);
    if (major > 4 || (major == 4 && minor >= 2)) {
        return true;
    }
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const GLubyte* name = glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i));
        if (name != nullptr &&
            std::strcmp(reinterpret_cast<const char*>(name), "GL_ARB_shader_image_load_store") == 0) {
            return true;
        }
    }
    return false;
}

void ComputeImages::Resize(int width, int height)
{
    if (width == mWidth && height == mHeight) {
        return;
    }
    Release();
    mWidth = width;
    mHeight = height;
    static const GLenum Attachments[ImagesPerSet] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1, GL_COLOR_ATTACHMENT2};
    for (int set = 0; set < 2; ++set) {
        glGenTextures(ImagesPerSet, mTextures[set]);
        glGenFramebuffers(1, &mFramebuffers[set]);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, mFramebuffers[set]);
        for (int i = 0; i < ImagesPerSet; ++i) {
            glBindTexture(GL_TEXTURE_2D, mTextures[set][i]);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_R32UI, width, height, 0, GL_RED_INTEGER, GL_UNSIGNED_INT, nullptr);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, Attachments[i], GL_TEXTURE_2D, mTextures[set][i], 0);
        }
        glDrawBuffers(ImagesPerSet, Attachments);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    Clear();
    CHECK_GL_ERROR("", "ComputeImages");
}

void ComputeImages::Clear()
{
    for (GLuint framebuffer : mFramebuffers) {
        static const GLuint Zero[4] = {0, 0, 0, 0};
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
        for (int i = 0; i < ImagesPerSet; ++i) {
            glClearBufferuiv(GL_COLOR, i, Zero);
        }
    }
    CHECK_GL_ERROR("", "ComputeImages");
}

void ComputeImages::BeginFrame()
{
    static const GLuint Zero[4] = {0, 0, 0, 0};
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, mFramebuffers[mCurrent]);
    for (int i = 0; i < ImagesPerSet; ++i) {
        glClearBufferuiv(GL_COLOR, i, Zero);
    }
    for (int i = 0; i < ImagesPerSet; ++i) {
        glBindImageTexture(static_cast<GLuint>(i), mTextures[mCurrent][i], 0, GL_FALSE, 0, GL_READ_WRITE, GL_R32UI);
        glBindImageTexture(static_cast<GLuint>(ImagesPerSet + i), mTextures[1 - mCurrent][i], 0, GL_FALSE, 0,
                           GL_READ_WRITE, GL_R32UI);
    }
    CHECK_GL_ERROR("", "ComputeImages");
}

void ComputeImages::EndFrame()
{
    glMemoryBarrier(GL_SHADER_IMAGE_ACCESS_BARRIER_BIT);
    mCurrent = 1 - mCurrent;
}

void ComputeImages::Repeat()
{
    // What the last frame read was only read, so it is still there.
    mCurrent = 1 - mCurrent;
}

void ComputeImages::Release()
{
    // Nothing made yet.
    if (mFramebuffers[0] == 0) {
        return;
    }
    glDeleteFramebuffers(2, mFramebuffers);
    for (GLuint* set : mTextures) {
        glDeleteTextures(ImagesPerSet, set);
    }
    std::memset(mTextures, 0, sizeof mTextures);
    mFramebuffers[0] = mFramebuffers[1] = 0;
    mWidth = mHeight = 0;
    CHECK_GL_ERROR("", "ComputeImages");
}
