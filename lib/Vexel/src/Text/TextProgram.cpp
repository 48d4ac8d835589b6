#include "Text/TextProgram.h"

#include "AssertException.h"
#include "CheckGlError.h"
#include "ShaderProgram.h"

#include <SDL.h>
#include <glm/gtc/type_ptr.hpp>

#include <map>
#include <string>

namespace {

const char* const VertexSource = R"(#version 330 core
layout(location = 0) in vec2 inPosition;
layout(location = 1) in vec2 inTexCoord;
layout(location = 2) in float inLetter;
uniform mat4 MVP;
uniform vec3 Wave;
uniform float Shown;
out vec2 texCoord;
void main()
{
    texCoord = inTexCoord;
    float y = inPosition.y + Wave.x * sin(Wave.y + Wave.z * inLetter);
    // A letter not typed yet lies outside the clip volume and draws nothing.
    gl_Position = inLetter < Shown ? MVP * vec4(inPosition.x, y, 0.0, 1.0) : vec4(2.0, 2.0, 2.0, 1.0);
}
)";

const char* const FragmentSource = R"(#version 330 core
uniform sampler2D Atlas;
uniform vec4 Color;
in vec2 texCoord;
out vec4 fragColor;
void main()
{
    // Coordinates come in atlas pixels: the atlas may have grown since.
    fragColor = vec4(Color.rgb, Color.a * texture(Atlas, texCoord / vec2(textureSize(Atlas, 0))).r);
}
)";

GLuint Compile(GLenum type, const char* source)
{
    std::string log;
    const GLuint shader = ShaderProgram::CompileStage(type, source, log);
    ASSERT_MSG(shader != 0, "The text shader does not compile!", log);
    return shader;
}

} // namespace

std::shared_ptr<TextProgram> TextProgram::Acquire()
{
    static std::map<void*, std::weak_ptr<TextProgram>> sPrograms;
    void* context = SDL_GL_GetCurrentContext();
    if (std::shared_ptr<TextProgram> shared = sPrograms[context].lock()) {
        return shared;
    }
    auto program = std::make_shared<TextProgram>();
    sPrograms[context] = program;
    return program;
}

TextProgram::TextProgram()
{
    const GLuint vertex = Compile(GL_VERTEX_SHADER, VertexSource);
    const GLuint fragment = Compile(GL_FRAGMENT_SHADER, FragmentSource);
    mHandle = glCreateProgram();
    glAttachShader(mHandle, vertex);
    glAttachShader(mHandle, fragment);
    glLinkProgram(mHandle);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    mMvp = glGetUniformLocation(mHandle, "MVP");
    mColor = glGetUniformLocation(mHandle, "Color");
    mWave = glGetUniformLocation(mHandle, "Wave");
    mShown = glGetUniformLocation(mHandle, "Shown");
    glUseProgram(mHandle);
    glUniform1i(glGetUniformLocation(mHandle, "Atlas"), 0);
    CHECK_GL_ERROR("", "text program");
}

TextProgram::~TextProgram()
{
    if (mHandle == 0) {
        return;
    }
    glDeleteProgram(mHandle);
}

void TextProgram::Use() const
{
    glUseProgram(mHandle);
}

void TextProgram::SetMvp(const glm::mat4& mvp) const
{
    glUniformMatrix4fv(mMvp, 1, GL_FALSE, glm::value_ptr(mvp));
}

void TextProgram::SetColor(const glm::vec4& color) const
{
    glUniform4f(mColor, color.r, color.g, color.b, color.a);
}

void TextProgram::SetWave(float amplitude, float phase, float step) const
{
    glUniform3f(mWave, amplitude, phase, step);
}

void TextProgram::SetShownLetters(float letters) const
{
    glUniform1f(mShown, letters);
}
