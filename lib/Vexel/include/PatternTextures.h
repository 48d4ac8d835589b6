#pragma once

#include <GL/glew.h>

#include <memory>
#include <vector>

// The pictures the engine makes for shaders, the same on every run: texNoise,
// a 256x256 RGBA noise that tiles (each channel its own, smooth and in
// 0..1), and texChecker, an 8x8 black and white checker sampled by nearest
// texel. Both repeat. One pair per GL context, shared by every shader part.
class PatternTextures
{
public:
    static std::shared_ptr<PatternTextures> Acquire();

    PatternTextures();
    ~PatternTextures();

    PatternTextures(const PatternTextures&) = delete;
    PatternTextures& operator=(const PatternTextures&) = delete;

    GLuint Noise() const { return mNoise; }
    GLuint Checker() const { return mChecker; }

    static constexpr int NoiseSize = 256;
    static constexpr int CheckerSize = 8;
    // The noise's texels, 4 bytes each, bottom row first as GL takes them.
    static std::vector<unsigned char> NoiseTexels();

private:
    GLuint mNoise = 0;
    GLuint mChecker = 0;
};
