#include "FrameConverter.h"

#include "CheckGlError.h"
#include "ShaderProgram.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

const char* const VertexSource = R"(#version 330 core
void main()
{
    // One triangle that covers the whole target.
    vec2 corner = vec2(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1));
    gl_Position = vec4(corner, 0.0, 1.0);
}
)";

// Output texel (x, y) is row y from the top of the picture. One program per
// pass, its sizes and block compiled in so the loops unroll: luma, one
// sample a pixel; chroma, U and V of block (x, y) from its mean colour, to two
// targets at once; packed, the pixel itself (BGRA swapped). PASS, HEIGHT,
// BLOCK_X, BLOCK_Y and DEPTH (1 for 8-bit samples, 4 for 10-bit) come first.
const char* const FragmentSource = R"(
uniform sampler2D uPicture;
layout(location = 0) out uvec4 oFirst;
layout(location = 1) out uvec4 oSecond;

vec3 Pixel(int x, int yFromTop)
{
    return texelFetch(uPicture, ivec2(x, HEIGHT - 1 - yFromTop), 0).rgb;
}

uint Level(float offset, float range, float value)
{
    return uint(clamp(floor(DEPTH * (offset + range * value) + 0.5), 0.0, 255.0 * DEPTH + DEPTH - 1.0));
}

void main()
{
    ivec2 at = ivec2(gl_FragCoord.xy);
#if PASS == 0
    oFirst = uvec4(Level(16.0, 219.0, dot(Pixel(at.x, at.y), vec3(0.2126, 0.7152, 0.0722))), 0u, 0u, 0u);
#elif PASS == 1
    vec3 sum = vec3(0.0);
    for (int j = 0; j < BLOCK_Y; ++j) {
        for (int i = 0; i < BLOCK_X; ++i) {
            sum += Pixel(at.x * BLOCK_X + i, at.y * BLOCK_Y + j);
        }
    }
    vec3 rgb = sum / float(BLOCK_X * BLOCK_Y);
    float luma = dot(rgb, vec3(0.2126, 0.7152, 0.0722));
    oFirst = uvec4(Level(128.0, 224.0, (rgb.b - luma) / 1.8556), 0u, 0u, 0u);
    oSecond = uvec4(Level(128.0, 224.0, (rgb.r - luma) / 1.5748), 0u, 0u, 0u);
#else
    uvec3 rgb = uvec3(floor(Pixel(at.x, at.y) * 255.0 + 0.5));
    oFirst = PASS == 2 ? uvec4(rgb, 255u) : uvec4(rgb.bgr, 255u);
#endif
}
)";

GLuint CompileShader(GLenum type, const char* source)
{
    std::string log;
    const GLuint shader = ShaderProgram::CompileStage(type, source, log);
    if (shader == 0) {
        throw std::runtime_error("FrameConverter: the colour conversion does not compile: " + log);
    }
    return shader;
}

// The state a conversion changes, put back as it was.
class SavedState
{
public:
    SavedState()
    {
        glGetIntegerv(GL_CURRENT_PROGRAM, &mProgram);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &mVertexArray);
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &mDrawFramebuffer);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &mReadFramebuffer);
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &mPackBuffer);
        glGetIntegerv(GL_PACK_ALIGNMENT, &mPackAlignment);
        glGetIntegerv(GL_PACK_ROW_LENGTH, &mPackRowLength);
        glGetIntegerv(GL_VIEWPORT, mViewport);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &mActiveTexture);
        glActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &mTexture);
        for (int i = 0; i < CapabilityCount; ++i) {
            mEnabled[i] = glIsEnabled(Capabilities[i]);
            glDisable(Capabilities[i]);
        }
    }
    ~SavedState()
    {
        for (int i = 0; i < CapabilityCount; ++i) {
            if (mEnabled[i]) {
                glEnable(Capabilities[i]);
            }
        }
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(mTexture));
        glActiveTexture(static_cast<GLenum>(mActiveTexture));
        glViewport(mViewport[0], mViewport[1], mViewport[2], mViewport[3]);
        glPixelStorei(GL_PACK_ALIGNMENT, mPackAlignment);
        glPixelStorei(GL_PACK_ROW_LENGTH, mPackRowLength);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(mPackBuffer));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(mReadFramebuffer));
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(mDrawFramebuffer));
        glBindVertexArray(static_cast<GLuint>(mVertexArray));
        glUseProgram(static_cast<GLuint>(mProgram));
    }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

private:
    static constexpr int CapabilityCount = 5;
    static constexpr GLenum Capabilities[CapabilityCount] = {GL_BLEND, GL_DEPTH_TEST, GL_SCISSOR_TEST, GL_CULL_FACE,
                                                             GL_STENCIL_TEST};
    GLint mProgram = 0;
    GLint mVertexArray = 0;
    GLint mDrawFramebuffer = 0;
    GLint mReadFramebuffer = 0;
    GLint mPackBuffer = 0;
    GLint mPackAlignment = 4;
    GLint mPackRowLength = 0;
    GLint mViewport[4] = {};
    GLint mActiveTexture = GL_TEXTURE0;
    GLint mTexture = 0;
    GLboolean mEnabled[CapabilityCount] = {};
};

} // namespace

FrameConverter::FrameConverter(const FrameLayout& layout, int buffers)
    : mLayout(layout)
{
    if (buffers < 2) {
        throw std::invalid_argument("FrameConverter: two buffers or more");
    }
    const bool ten = layout.GetPixels() == FrameLayout::Yuv422Ten;
    const int width = layout.GetWidth();
    switch (layout.GetPixels()) {
    case FrameLayout::Yuv420:
    case FrameLayout::Yuv422Ten: {
        const GLenum internalFormat = ten ? GL_R16UI : GL_R8UI;
        const GLenum type = ten ? GL_UNSIGNED_SHORT : GL_UNSIGNED_BYTE;
        MakePass(mLuma, 0, internalFormat, GL_RED_INTEGER, type, width, layout.GetHeight(), 1);
        MakePass(mChroma, 1, internalFormat, GL_RED_INTEGER, type, width / 2, layout.ChromaRows(), 2);
        break;
    }
    case FrameLayout::Rgb:
        MakePass(mLuma, 2, GL_RGBA8UI, GL_RGBA_INTEGER, GL_UNSIGNED_BYTE, width, layout.GetHeight(), 1);
        break;
    case FrameLayout::Bgra:
        MakePass(mLuma, 3, GL_RGBA8UI, GL_RGBA_INTEGER, GL_UNSIGNED_BYTE, width, layout.GetHeight(), 1);
        break;
    }
    glGenVertexArrays(1, &mVertexArray);

    mBuffers.resize(static_cast<size_t>(buffers));
    glGenBuffers(buffers, mBuffers.data());
    GLint previousBuffer = 0;
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &previousBuffer);
    for (GLuint buffer : mBuffers) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(layout.FrameBytes()), nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(previousBuffer));
    CHECK_GL_ERROR("", "");
}

FrameConverter::~FrameConverter()
{
    Release();
}

void FrameConverter::MakePass(Pass& pass, int kind, GLenum internalFormat, GLenum format, GLenum type, int width,
                              int height, int targets)
{
    const bool ten = mLayout.GetPixels() == FrameLayout::Yuv422Ten;
    const std::string defines = "#version 330 core\n#define PASS " + std::to_string(kind) + "\n#define HEIGHT " +
                                std::to_string(mLayout.GetHeight()) + "\n#define BLOCK_X 2\n#define BLOCK_Y " +
                                (ten ? "1" : "2") + "\n#define DEPTH " + (ten ? "4.0" : "1.0") + "\n";
    const GLuint vertex = CompileShader(GL_VERTEX_SHADER, VertexSource);
    const GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, (defines + FragmentSource).c_str());
    pass.mProgram = glCreateProgram();
    glAttachShader(pass.mProgram, vertex);
    glAttachShader(pass.mProgram, fragment);
    glLinkProgram(pass.mProgram);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(pass.mProgram, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        Release();
        throw std::runtime_error("FrameConverter: the colour conversion does not link");
    }
    GLint previousProgram = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previousProgram);
    glUseProgram(pass.mProgram);
    glUniform1i(glGetUniformLocation(pass.mProgram, "uPicture"), 0);
    glUseProgram(static_cast<GLuint>(previousProgram));

    pass.mWidth = width;
    pass.mHeight = height;
    pass.mTargets = targets;
    GLint previousTexture = 0;
    GLint previousFramebuffer = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previousFramebuffer);
    glGenFramebuffers(1, &pass.mFramebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, pass.mFramebuffer);
    glGenTextures(targets, pass.mTextures);
    for (int i = 0; i < targets; ++i) {
        glBindTexture(GL_TEXTURE_2D, pass.mTextures[i]);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), width, height, 0, format, type, nullptr);
        // Integer textures take no filtering; one level, drawn to and read, never sampled.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + static_cast<GLenum>(i), GL_TEXTURE_2D,
                               pass.mTextures[i], 0);
    }
    const GLenum drawBuffers[2] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
    glDrawBuffers(targets, drawBuffers);
    const GLenum status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previousTexture));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(previousFramebuffer));
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        Release();
        throw std::runtime_error("FrameConverter: cannot convert at " + std::to_string(mLayout.GetWidth()) + "x" +
                                 std::to_string(mLayout.GetHeight()));
    }
}

void FrameConverter::Convert(GLuint picture)
{
    if (mPending >= Capacity()) {
        throw std::logic_error("FrameConverter::Convert: every buffer is pending; Collect first");
    }
    SavedState saved;
    glBindVertexArray(mVertexArray);
    glBindTexture(GL_TEXTURE_2D, picture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, mBuffers[static_cast<size_t>(mNext)]);
    switch (mLayout.GetPixels()) {
    case FrameLayout::Yuv420:
    case FrameLayout::Yuv422Ten: {
        const GLenum type = mLayout.GetPixels() == FrameLayout::Yuv420 ? GL_UNSIGNED_BYTE : GL_UNSIGNED_SHORT;
        Draw(mLuma);
        Draw(mChroma);
        Read(mLuma, 0, GL_RED_INTEGER, type, 0);
        // Each chroma row is a row of U and then one of V, in the rows of the luma's length.
        glPixelStorei(GL_PACK_ROW_LENGTH, mLayout.GetWidth());
        Read(mChroma, 0, GL_RED_INTEGER, type, mLayout.LumaBytes());
        Read(mChroma, 1, GL_RED_INTEGER, type, mLayout.LumaBytes() + mLayout.ChromaRowBytes() / 2);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        break;
    }
    case FrameLayout::Rgb:
        Draw(mLuma);
        Read(mLuma, 0, GL_RGB_INTEGER, GL_UNSIGNED_BYTE, 0);
        break;
    case FrameLayout::Bgra:
        // Swapped by the shader: a read in the texture's own order is a copy.
        Draw(mLuma);
        Read(mLuma, 0, GL_RGBA_INTEGER, GL_UNSIGNED_BYTE, 0);
        break;
    }
    CHECK_GL_ERROR("", "");
    mNext = (mNext + 1) % Capacity();
    ++mPending;
}

void FrameConverter::Draw(const Pass& pass)
{
    glUseProgram(pass.mProgram);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, pass.mFramebuffer);
    glViewport(0, 0, pass.mWidth, pass.mHeight);
    glDrawArrays(GL_TRIANGLES, 0, 3);
}

void FrameConverter::Read(const Pass& pass, int target, GLenum format, GLenum type, std::size_t offset)
{
    glBindFramebuffer(GL_READ_FRAMEBUFFER, pass.mFramebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0 + static_cast<GLenum>(target));
    glReadPixels(0, 0, pass.mWidth, pass.mHeight, format, type, reinterpret_cast<void*>(offset));
}

void FrameConverter::Collect(std::uint8_t* frame)
{
    if (mPending == 0) {
        throw std::logic_error("FrameConverter::Collect: nothing is pending");
    }
    const int oldest = (mNext - mPending + Capacity()) % Capacity();
    GLint previousBuffer = 0;
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &previousBuffer);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, mBuffers[static_cast<size_t>(oldest)]);
    const auto bytes = static_cast<GLsizeiptr>(mLayout.FrameBytes());
    const void* mapped = glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, bytes, GL_MAP_READ_BIT);
    if (mapped != nullptr) {
        std::memcpy(frame, mapped, static_cast<size_t>(bytes));
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(previousBuffer));
    --mPending;
    if (mapped == nullptr) {
        CHECK_GL_ERROR("", "");
        throw std::runtime_error("FrameConverter: cannot read a frame back from the GPU");
    }
}

void FrameConverter::Release()
{
    if (!mBuffers.empty()) {
        glDeleteBuffers(static_cast<GLsizei>(mBuffers.size()), mBuffers.data());
        mBuffers.clear();
    }
    for (Pass* pass : {&mLuma, &mChroma}) {
        glDeleteFramebuffers(1, &pass->mFramebuffer);
        glDeleteTextures(2, pass->mTextures);
        glDeleteProgram(pass->mProgram);
        *pass = Pass();
    }
    glDeleteVertexArrays(1, &mVertexArray);
    mVertexArray = 0;
}
