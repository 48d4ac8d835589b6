#include "MusicTextures.h"

#include "Audio/MusicAnalysis.h"
#include "Audio/MusicFrames.h"
#include "Audio/SoundtrackAnalysis.h"
#include "CheckGlError.h"
#include "PerContext.h"

#include <vector>

static_assert(MusicTextures::FftSize == MusicFrames::Bins && MusicTextures::MusicWidth == MusicFrames::MusicWidth &&
                  MusicTextures::SampleRate == MusicAnalysis::SampleRate,
              "the textures hold what the analysis gives");

std::shared_ptr<MusicTextures> MusicTextures::Acquire()
{
    return AcquirePerContext<MusicTextures>();
}

MusicTextures::MusicTextures()
{
    glGenTextures(4, mTextures);
    const std::vector<float> silence(FftSize, 0.0f);
    for (int i = 0; i < 3; ++i) {
        glBindTexture(GL_TEXTURE_1D, mTextures[i]);
        glTexImage1D(GL_TEXTURE_1D, 0, GL_R32F, FftSize, 0, GL_RED, GL_FLOAT, silence.data());
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    }
    glBindTexture(GL_TEXTURE_1D, 0);
    const std::vector<unsigned char> quiet(MusicWidth * MusicHeight, 0);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, mTextures[3]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, MusicWidth, MusicHeight, 0, GL_RED, GL_UNSIGNED_BYTE, quiet.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    CHECK_GL_ERROR("", "MusicTextures");
}

MusicTextures::~MusicTextures()
{
    glDeleteTextures(4, mTextures);
    CHECK_GL_ERROR("", "MusicTextures");
}

void MusicTextures::Update(const std::shared_ptr<SoundtrackAnalysis>& music, double time)
{
    const std::int64_t sample = MusicAnalysis::SampleAt(time);
    if (!music || (music == mMusic && sample == mSample)) {
        return;
    }
    mMusic = music;
    mSample = sample;
    MusicFrames& frames = music->Frames();
    frames.MoveTo(time);
    const float* const spectra[3] = {frames.Fft(), frames.Smoothed(), frames.Integrated()};
    for (int i = 0; i < 3; ++i) {
        glBindTexture(GL_TEXTURE_1D, mTextures[i]);
        glTexSubImage1D(GL_TEXTURE_1D, 0, 0, FftSize, GL_RED, GL_FLOAT, spectra[i]);
    }
    glBindTexture(GL_TEXTURE_1D, 0);
    // Rows of 512 bytes keep the default unpack alignment of 4.
    glBindTexture(GL_TEXTURE_2D, mTextures[3]);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, MusicWidth, MusicHeight, GL_RED, GL_UNSIGNED_BYTE, frames.MusicTexture());
    glBindTexture(GL_TEXTURE_2D, 0);
    CHECK_GL_ERROR("", "MusicTextures");
}
