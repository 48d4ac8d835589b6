#pragma once

#include <GL/glew.h>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include <memory>

// The GL program that draws glyph quads from an atlas in one colour, moving
// each letter by a wave and hiding the letters not typed yet. Built into the
// engine, so text needs no shader files; one per GL context, shared.
class TextProgram
{
public:
    static std::shared_ptr<TextProgram> Acquire();

    TextProgram();
    ~TextProgram();

    TextProgram(const TextProgram&) = delete;
    TextProgram& operator=(const TextProgram&) = delete;

    void Use() const;
    void SetMvp(const glm::mat4& mvp) const;
    // Red, green, blue and alpha from 0 to 1; the atlas gives the coverage.
    void SetColor(const glm::vec4& color) const;
    // Each letter n moves down by amplitude * sin(phase + step * n).
    void SetWave(float amplitude, float phase, float step) const;
    // Letters numbered from this one on are not drawn.
    void SetShownLetters(float letters) const;

private:
    GLuint mHandle = 0;
    GLint mMvp = -1;
    GLint mColor = -1;
    GLint mWave = -1;
    GLint mShown = -1;
};
