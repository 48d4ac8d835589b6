#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <memory>

class SoundtrackAnalysis;

// The soundtrack as shaders read it: its spectrum as texFFT, texFFTSmoothed
// and texFFTIntegrated (1-D, 1024 texels of R32F) and Shadertoy's music
// texture (512x2 R8: the spectrum in row 0, the wave in row 1). One set per
// GL context, shared by every shader part; they hold zeros until updated.
class MusicTextures
{
public:
    // The set of the current context.
    static std::shared_ptr<MusicTextures> Acquire();

    MusicTextures();
    ~MusicTextures();

    MusicTextures(const MusicTextures&) = delete;
    MusicTextures& operator=(const MusicTextures&) = delete;

    // Brings the textures to the analysed music at a timeline time. Every
    // shader part calls it before it draws: only the first call at a new
    // time (to the sample) or for other music does any work, so a frame
    // costs one update however many parts read the textures.
    void Update(const std::shared_ptr<SoundtrackAnalysis>& music, double time);

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
    // What the textures hold: the music, and the first sample not yet heard.
    std::shared_ptr<SoundtrackAnalysis> mMusic;
    std::int64_t mSample = 0;
};
