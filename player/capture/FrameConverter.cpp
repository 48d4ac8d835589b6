#include "FrameConverter.h"

#include "CheckGlError.h"

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

// Output texel (x, y) is row y from the top of the picture. Luma: one sample
// per pixel; chroma: U of block x in the left half of a row, V in the right
// half, from the mean colour of the block; packed: the pixel itself.
const char* const FragmentSource = R"(#version 330 core
uniform sampler2D uPicture;
// 0 luma, 1 chroma, 2 packed RGB, 3 packed BGRA.
uniform int uMode;
uniform ivec2 uBlock;
// 1 for 8-bit samples, 4 for 10-bit ones.
uniform float uDepth;
out uvec4 oValue;

vec3 Pixel(int x, int yFromTop)
{
    ivec2 size = textureSize(uPicture, 0);
    return texelFetch(uPicture, ivec2(x, size.y - 1 - yFromTop), 0).rgb;
}

uint Level(float offset, float range, float value)
{
    return uint(clamp(floor(uDepth * (offset + range * value) + 0.5), 0.0, 255.0 * uDepth + uDepth - 1.0));
}

void main()
{
    ivec2 at = ivec2(gl_FragCoord.xy);
    if (uMode >= 2) {
        uvec3 rgb = uvec3(floor(Pixel(at.x, at.y) * 255.0 + 0.5));
        oValue = uMode == 2 ? uvec4(rgb, 255u) : uvec4(rgb.bgr, 255u);
        return;
    }
    if (uMode == 0) {
        oValue = uvec4(Level(16.0, 219.0, dot(Pixel(at.x, at.y), vec3(0.2126, 0.7152, 0.0722))), 0u, 0u, 0u);
        return;
    }
    int halfWidth = textureSize(uPicture, 0).x / 2;
    bool v = at.x >= halfWidth;
    ivec2 block = ivec2(v ? at.x - halfWidth : at.x, at.y) * uBlock;
    vec3 sum = vec3(0.0);
    for (int j = 0; j < uBlock.y; ++j) {
        for (int i = 0; i < uBlock.x; ++i) {
            sum += Pixel(block.x + i, block.y + j);
        }
    }
    vec3 rgb = sum / float(uBlock.x * uBlock.y);
    float luma = dot(rgb, vec3(0.2126, 0.7152, 0.0722));
    float chroma = v ? (rgb.r - luma) / 1.5748 : (rgb.b - luma) / 1.8556;
    oValue = uvec4(Level(128.0, 224.0, chroma), 0u, 0u, 0u);
}
)";

GLuint CompileShader(GLenum type, const char* source)
{
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        glDeleteShader(shader);
        throw std::runtime_error(std::string("FrameConverter: the colour conversion does not compile: ") + log);
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
    const GLuint vertex = CompileShader(GL_VERTEX_SHADER, VertexSource);
    const GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, FragmentSource);
    mProgram = glCreateProgram();
    glAttachShader(mProgram, vertex);
    glAttachShader(mProgram, fragment);
    glLinkProgram(mProgram);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(mProgram, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        Release();
        throw std::runtime_error("FrameConverter: the colour conversion does not link");
    }
    GLint previousProgram = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previousProgram);
    glUseProgram(mProgram);
    mModeLocation = glGetUniformLocation(mProgram, "uMode");
    glUniform1i(glGetUniformLocation(mProgram, "uPicture"), 0);
    const bool ten = layout.GetPixels() == FrameLayout::Yuv422Ten;
    glUniform1f(glGetUniformLocation(mProgram, "uDepth"), ten ? 4.0f : 1.0f);
    glUniform2i(glGetUniformLocation(mProgram, "uBlock"), 2, ten ? 1 : 2);
    glUseProgram(static_cast<GLuint>(previousProgram));
    glGenVertexArrays(1, &mVertexArray);

    const int width = layout.GetWidth();
    switch (layout.GetPixels()) {
    case FrameLayout::Yuv420:
        MakePlane(mLuma, GL_R8UI, GL_RED_INTEGER, GL_UNSIGNED_BYTE, width, layout.GetHeight());
        MakePlane(mChroma, GL_R8UI, GL_RED_INTEGER, GL_UNSIGNED_BYTE, width, layout.ChromaRows());
        break;
    case FrameLayout::Yuv422Ten:
        MakePlane(mLuma, GL_R16UI, GL_RED_INTEGER, GL_UNSIGNED_SHORT, width, layout.GetHeight());
        MakePlane(mChroma, GL_R16UI, GL_RED_INTEGER, GL_UNSIGNED_SHORT, width, layout.ChromaRows());
        break;
    default:
        MakePlane(mLuma, GL_RGBA8UI, GL_RGBA_INTEGER, GL_UNSIGNED_BYTE, width, layout.GetHeight());
        break;
    }

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

void FrameConverter::MakePlane(Plane& plane, GLenum internalFormat, GLenum format, GLenum type, int width, int height)
{
    plane.mWidth = width;
    plane.mHeight = height;
    GLint previousTexture = 0;
    GLint previousFramebuffer = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previousFramebuffer);
    glGenTextures(1, &plane.mTexture);
    glBindTexture(GL_TEXTURE_2D, plane.mTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), width, height, 0, format, type, nullptr);
    // Integer textures take no filtering; one level, drawn to and read, never sampled.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previousTexture));
    glGenFramebuffers(1, &plane.mFramebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, plane.mFramebuffer);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, plane.mTexture, 0);
    const GLenum status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
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
    glUseProgram(mProgram);
    glBindVertexArray(mVertexArray);
    glBindTexture(GL_TEXTURE_2D, picture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, mBuffers[static_cast<size_t>(mNext)]);
    switch (mLayout.GetPixels()) {
    case FrameLayout::Yuv420:
    case FrameLayout::Yuv422Ten: {
        const GLenum type = mLayout.GetPixels() == FrameLayout::Yuv420 ? GL_UNSIGNED_BYTE : GL_UNSIGNED_SHORT;
        Draw(mLuma, 0);
        Draw(mChroma, 1);
        Read(mLuma, GL_RED_INTEGER, type, 0);
        Read(mChroma, GL_RED_INTEGER, type, mLayout.LumaBytes());
        break;
    }
    case FrameLayout::Rgb:
        Draw(mLuma, 2);
        Read(mLuma, GL_RGB_INTEGER, GL_UNSIGNED_BYTE, 0);
        break;
    case FrameLayout::Bgra:
        // Swapped by the shader: a read in the texture's own order is a copy.
        Draw(mLuma, 3);
        Read(mLuma, GL_RGBA_INTEGER, GL_UNSIGNED_BYTE, 0);
        break;
    }
    CHECK_GL_ERROR("", "");
    mNext = (mNext + 1) % Capacity();
    ++mPending;
}

void FrameConverter::Draw(const Plane& plane, int mode)
{
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, plane.mFramebuffer);
    glViewport(0, 0, plane.mWidth, plane.mHeight);
    glUniform1i(mModeLocation, mode);
    glDrawArrays(GL_TRIANGLES, 0, 3);
}

void FrameConverter::Read(const Plane& plane, GLenum format, GLenum type, std::size_t offset)
{
    glBindFramebuffer(GL_READ_FRAMEBUFFER, plane.mFramebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glReadPixels(0, 0, plane.mWidth, plane.mHeight, format, type, reinterpret_cast<void*>(offset));
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
    for (Plane* plane : {&mLuma, &mChroma}) {
        glDeleteFramebuffers(1, &plane->mFramebuffer);
        glDeleteTextures(1, &plane->mTexture);
        plane->mFramebuffer = 0;
        plane->mTexture = 0;
    }
    glDeleteVertexArrays(1, &mVertexArray);
    mVertexArray = 0;
    glDeleteProgram(mProgram);
    mProgram = 0;
}
