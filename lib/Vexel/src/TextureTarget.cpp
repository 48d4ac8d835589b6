#include "TextureTarget.h"

#include "CheckGlError.h"

#include <stdexcept>
#include <string>

TextureTarget::TextureTarget(int width, int height, GLenum internalFormat)
    : mWidth(width)
    , mHeight(height)
    , mInternalFormat(internalFormat)
{
    GLint previous = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previous);
    glGenTextures(1, &mTexture);
    glBindTexture(GL_TEXTURE_2D, mTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), width, height, 0, GL_RGBA,
                 internalFormat == GL_RGBA8 ? GL_UNSIGNED_BYTE : GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffers(1, &mFramebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, mFramebuffer);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, mTexture, 0);
    const GLenum status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
    CHECK_GL_ERROR("", "TextureTarget");
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(previous));
        glDeleteFramebuffers(1, &mFramebuffer);
        glDeleteTextures(1, &mTexture);
        throw std::runtime_error("cannot draw into a " + std::to_string(width) + "x" + std::to_string(height) +
                                 " texture");
    }
    Clear();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(previous));
}

TextureTarget::~TextureTarget()
{
    glDeleteFramebuffers(1, &mFramebuffer);
    glDeleteTextures(1, &mTexture);
    CHECK_GL_ERROR("", "TextureTarget");
}

void TextureTarget::Clear()
{
    static const GLfloat Transparent[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    // A player keeps its clears inside the picture with the scissor, in the
    // window's coordinates, which would clear only a corner of this.
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, mFramebuffer);
    glClearBufferfv(GL_COLOR, 0, Transparent);
    if (scissor == GL_TRUE) {
        glEnable(GL_SCISSOR_TEST);
    }
    CHECK_GL_ERROR("", "TextureTarget");
}
