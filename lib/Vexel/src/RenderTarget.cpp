#include "RenderTarget.h"

#include "CheckGlError.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>

RenderTarget::RenderTarget(int width, int height)
    : mWidth(width)
    , mHeight(height)
{
    GLint maxSize = 0;
    GLint maxTexture = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    maxSize = std::min(maxSize, maxTexture);
    if (width <= 0 || height <= 0 || width > maxSize || height > maxSize) {
        throw std::runtime_error("RenderTarget: cannot render at " + std::to_string(width) + "x" +
                                 std::to_string(height) + " (the driver allows up to " +
                                 std::to_string(maxSize) + ")");
    }

    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);

    // A texture rather than a renderbuffer, so a later pass can sample it.
    GLint previousTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
    glGenTextures(1, &mColour);
    glBindTexture(GL_TEXTURE_2D, mColour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previousTexture));
    CHECK_GL_ERROR("", "");
    glGenRenderbuffers(1, &mDepth);
    glBindRenderbuffer(GL_RENDERBUFFER, mDepth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    CHECK_GL_ERROR("", "");
    glBindRenderbuffer(GL_RENDERBUFFER, 0);

    glGenFramebuffers(1, &mFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, mFramebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, mColour, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, mDepth);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    CHECK_GL_ERROR("", "");
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));

    if (status != GL_FRAMEBUFFER_COMPLETE) {
        Release();
        std::ostringstream text;
        text << "RenderTarget: the framebuffer is incomplete (status 0x" << std::hex << status << ")";
        throw std::runtime_error(text.str());
    }
}

RenderTarget::~RenderTarget()
{
    Release();
}

void RenderTarget::Bind()
{
    if (!mBound) {
        glGetIntegerv(GL_VIEWPORT, mSavedViewport);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, mFramebuffer);
    glViewport(0, 0, mWidth, mHeight);
    CHECK_GL_ERROR("", "");
    mBound = true;
}

void RenderTarget::Unbind()
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (mBound) {
        glViewport(mSavedViewport[0], mSavedViewport[1], mSavedViewport[2], mSavedViewport[3]);
    }
    CHECK_GL_ERROR("", "");
    mBound = false;
}

void RenderTarget::ReadRgb(std::vector<std::uint8_t>& pixels) const
{
    pixels.resize(static_cast<size_t>(mWidth) * static_cast<size_t>(mHeight) * 3);
    GLint previousRead = 0;
    GLint previousAlignment = 4;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previousRead);
    glGetIntegerv(GL_PACK_ALIGNMENT, &previousAlignment);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, mFramebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    // Rows of odd widths are not padded to four bytes.
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, mWidth, mHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    CHECK_GL_ERROR("", "");
    glPixelStorei(GL_PACK_ALIGNMENT, previousAlignment);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previousRead));
}

void RenderTarget::Release()
{
    // Nothing made yet, or already given back.
    if (mFramebuffer == 0 && mColour == 0 && mDepth == 0) {
        return;
    }
    if (mBound) {
        Unbind();
    }
    glDeleteFramebuffers(1, &mFramebuffer);
    glDeleteTextures(1, &mColour);
    glDeleteRenderbuffers(1, &mDepth);
    mFramebuffer = 0;
    mColour = 0;
    mDepth = 0;
}
