#pragma once

#include <GL/glew.h>

#include <memory>

// The soundtrack as shaders read it: its spectrum as texFFT, texFFTSmoothed
// and texFFTIntegrated (1-D, 1024 texels of R32F) and Shadertoy's music
// texture (512x2 R8: the spectrum above, the wave below). One set per GL
// context, shared by every shader part. Until the music is analysed they
// hold zeros.
class MusicTextures
{
public:
    // The set of the current context.
    static std::shared_ptr<MusicTextures> Acquire();

    MusicTextures();
    ~MusicTextures();

    MusicTextures(const MusicTextures&) = delete;
    MusicTextures& operator=(const MusicTextures&) = delete;

    // Brings the textures to the music at a timeline time. Every shader part
    // calls it before it draws, so the same time may come more than once.
    void Update(double time);

    GLuint Fft() const { return mTextures[0]; }
    GLuint FftSmoothed() const { return mTextures[1]; }
    GLuint FftIntegrated() const { return mTextures[2]; }
    GLuint Music() const { return mTextures[3]; }

    static constexpr int FftSize = 1024;
    static constexpr int MusicWidth = 512;
    static constexpr int MusicHeight = 2;
    // The rate the engine plays the soundtrack at (its mixer's).
    static constexpr int SampleRate = 44100;

private:
    GLuint mTextures[4] = {0, 0, 0, 0};
};
