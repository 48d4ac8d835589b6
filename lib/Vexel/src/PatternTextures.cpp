#include "PatternTextures.h"

#include "CheckGlError.h"
#include "PerContext.h"

#include <cmath>
#include <cstdint>

namespace {

// An integer hash, so the noise is the same on every run and machine.
std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

// Smoothly interpolated random values on a lattice of period cells across
// the texture, wrapped so that the texture tiles.
float ValueNoise(float x, float y, int period, std::uint32_t seed)
{
    const int x0 = static_cast<int>(std::floor(x));
    const int y0 = static_cast<int>(std::floor(y));
    const float fx = x - static_cast<float>(x0);
    const float fy = y - static_cast<float>(y0);
    const auto at = [period, seed](int cx, int cy) {
        const auto wrap = [period](int c) { return static_cast<std::uint32_t>(((c % period) + period) % period); };
        return static_cast<float>(Hash(wrap(cx), wrap(cy), seed) >> 8) / 16777215.0f;
    };
    const float sx = fx * fx * (3.0f - 2.0f * fx);
    const float sy = fy * fy * (3.0f - 2.0f * fy);
    const float bottom = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
    const float top = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
    return bottom + (top - bottom) * sy;
}

void SetFilters(GLint filter)
{
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
}

} // namespace

std::shared_ptr<PatternTextures> PatternTextures::Acquire()
{
    return AcquirePerContext<PatternTextures>();
}

std::vector<unsigned char> PatternTextures::NoiseTexels()
{
    // Five octaves, from 4 to 64 cells across.
    std::vector<unsigned char> texels(static_cast<std::size_t>(NoiseSize) * NoiseSize * 4);
    for (int y = 0; y < NoiseSize; ++y) {
        for (int x = 0; x < NoiseSize; ++x) {
            for (std::uint32_t channel = 0; channel < 4; ++channel) {
                float sum = 0.0f;
                float weight = 0.5f;
                float weights = 0.0f;
                for (int period = 4; period <= 64; period *= 2) {
                    const float scale = static_cast<float>(period) / NoiseSize;
                    sum += weight * ValueNoise(static_cast<float>(x) * scale, static_cast<float>(y) * scale, period,
                                               channel * 16 + static_cast<std::uint32_t>(period));
                    weights += weight;
                    weight *= 0.5f;
                }
                texels[(static_cast<std::size_t>(y) * NoiseSize + x) * 4 + channel] =
                    static_cast<unsigned char>(std::lround(sum / weights * 255.0f));
            }
        }
    }
    return texels;
}

PatternTextures::PatternTextures()
{
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    const std::vector<unsigned char> noise = NoiseTexels();
    glGenTextures(1, &mNoise);
    glBindTexture(GL_TEXTURE_2D, mNoise);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, NoiseSize, NoiseSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, noise.data());
    SetFilters(GL_LINEAR);

    std::vector<unsigned char> checker(static_cast<std::size_t>(CheckerSize) * CheckerSize * 4);
    for (int y = 0; y < CheckerSize; ++y) {
        for (int x = 0; x < CheckerSize; ++x) {
            const unsigned char value = (x + y) % 2 == 0 ? 0 : 255;
            for (int channel = 0; channel < 4; ++channel) {
                checker[(static_cast<std::size_t>(y) * CheckerSize + x) * 4 + channel] = channel == 3 ? 255 : value;
            }
        }
    }
    glGenTextures(1, &mChecker);
    glBindTexture(GL_TEXTURE_2D, mChecker);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, CheckerSize, CheckerSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, checker.data());
    SetFilters(GL_NEAREST);

    glBindTexture(GL_TEXTURE_2D, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    CHECK_GL_ERROR("", "PatternTextures");
}

PatternTextures::~PatternTextures()
{
    glDeleteTextures(1, &mNoise);
    glDeleteTextures(1, &mChecker);
    CHECK_GL_ERROR("", "PatternTextures");
}
