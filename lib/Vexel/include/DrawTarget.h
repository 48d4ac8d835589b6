#pragma once

#include "Rect.h"

#include <GL/glew.h>

// Where the parts of a frame draw: a framebuffer and the rectangle of it that
// holds the picture, in GL's window coordinates (origin bottom left). The
// application says so before it draws the parts: the window's picture (with
// its black bars around it in a player), the whole of a capture's target.
struct DrawTarget
{
    GLuint mFramebuffer = 0;
    Rect<int> mArea;
    // The internal format of its colour: what a part drawing through a
    // picture of its own makes that picture, so floats stay floats.
    GLenum mFormat = GL_RGBA8;
};
