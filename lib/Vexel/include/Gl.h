#pragma once

#include "AssertException.h"

#include <GL/glew.h>

namespace Gl {

enum BlendMode
{
    Opaque = 0,
    Translucent = 1,
    Additive = 2,
    Subtractive = 3,
    ReverseSubtractive = 4
};

// Opaque keeps the blend function of the previous mode on purpose: only the
// enable flag and the equation are reset.
inline void Blend(BlendMode mode)
{
    switch (mode) {
    case Opaque:
        glDisable(GL_BLEND);
        glBlendEquation(GL_FUNC_ADD);
        break;
    case Translucent:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBlendEquation(GL_FUNC_ADD);
        break;
    case Additive:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glBlendEquation(GL_FUNC_ADD);
        break;
    case Subtractive:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glBlendEquation(GL_FUNC_SUBTRACT);
        break;
    case ReverseSubtractive:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glBlendEquation(GL_FUNC_REVERSE_SUBTRACT);
        break;
    default:
        BOOST_ASSERT(false && "Unknown Blendmode given!");
    }
}

} // namespace Gl
