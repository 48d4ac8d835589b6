#include "Audio/BassAudio2d.h"

#include "AssertException.h"

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <iostream>
#include <stdexcept>

namespace {

// The application creates its audio object and never deletes it, so that the
// music plays to the very end of the process. Holding it here keeps it
// reachable, and leak checkers do not count it.
BassAudio2d* sLiveAudio = nullptr;

// SDL2_mixer's mixing buffer, in sample frames.
const int ChunkSize = 4096;

double SteadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string SdlErrorText()
{
    const char* text = SDL_GetError();
    return (text != nullptr && *text != '\0') ? text : "no reason given";
}

} // namespace

BassAudio2d::BassAudio2d()
{
    sLiveAudio = this;
}

BassAudio2d::~BassAudio2d()
{
    FreeAllMusic();
    CloseDevice();
    if (sLiveAudio == this) {
        sLiveAudio = nullptr;
    }
}

void BassAudio2d::Init(bool noSound, int, int frequency, bool stereo, int)
{
    if (!OpenDevice(noSound, frequency, stereo)) {
        ThrowBassError("BassAudio2d::Init() - can't initialize device\n");
    }
    mNoSound = noSound;
    mFrequency = frequency;
    mStereo = stereo;
}

void BassAudio2d::DeInit(float)
{
    FreeAllMusic();
    CloseDevice();
    ASSERT_NOT_IMPLEMENTED();
}

void BassAudio2d::Update()
{
}

void BassAudio2d::LoadMusic(const QString& name, const QString& fileName)
{
    if (mNoSound) {
        return;
    }
    std::cout << "BassAudio2d::LoadMusic() - loading music from \"" << fileName.toStdString() << "\"" << std::endl;

    // Without an open device there is nothing to decode for.
    Mix_Music* music = mDeviceOpen ? Mix_LoadMUS(fileName.toLocal8Bit().constData()) : nullptr;
    if (music == nullptr) {
        // Missing, empty and corrupt files differ only in the mixer's reason.
        const std::string reason = mDeviceOpen ? SdlErrorText() : "no audio device is open";
        throw std::runtime_error("BassAudio2d::LoadMusic(): Music \"" + fileName.toStdString() +
                                 "\" could not be loaded.\n  SDL_mixer: " + reason);
    }

    const double seconds = Mix_MusicDuration(music);
    if (seconds >= 0.0) {
        // The decoded size in the device's format, as the mixer will play it.
        const unsigned long long frames = static_cast<unsigned long long>(std::llround(seconds * mOutputFrequency));
        const unsigned long long bytes = frames * static_cast<unsigned long long>(mOutputChannels * mOutputBytesPerSample);
        std::cout << "Music length " << seconds << "s (" << bytes << " bytes)" << std::endl;
    } else {
        // Some decoders (MIDI) cannot tell; the music still plays.
        std::cout << "Music length unknown" << std::endl;
    }

    const auto returnValue = mMusic.insert(std::make_pair(name, music));
    if (!returnValue.second) {
        Mix_FreeMusic(music);
    }
    BOOST_ASSERT(returnValue.second == true);
}

void BassAudio2d::DeleteMusic(const QString&)
{
    if (mNoSound) {
        return;
    }
    ASSERT_NOT_IMPLEMENTED();
}

void BassAudio2d::PlayMusic(const QString& name, int)
{
    if (mNoSound) {
        return;
    }
    const auto it = mMusic.find(name);
    BOOST_ASSERT(it != mMusic.end());

    // Playing what already plays goes on from where it is, as a channel that
    // is told to play without a restart would.
    if (it->second == mPlayingMusic && Mix_PlayingMusic() != 0) {
        if (Mix_PausedMusic() != 0) {
            Mix_ResumeMusic();
        }
        return;
    }
    // Once through, from the start.
    if (Mix_PlayMusic(it->second, 1) != 0) {
        std::cerr << "BassAudio2d::PlayMusic(): Music \"" << name.toStdString()
                  << "\" could not be played: " << SdlErrorText() << std::endl;
        return;
    }
    SetPlayingMusic(it->second);
}

void BassAudio2d::FadeInMusic(const QString&, int, float)
{
    if (mNoSound) {
        return;
    }
    ASSERT_NOT_IMPLEMENTED();
}

void BassAudio2d::ChangeMusicFadeOutIn(const QString&, int, float)
{
    if (mNoSound) {
        return;
    }
    ASSERT_NOT_IMPLEMENTED();
}

void BassAudio2d::StopMusic()
{
    if (mNoSound) {
        return;
    }
    ASSERT_NOT_IMPLEMENTED();
}

void BassAudio2d::FadeOutMusic(float)
{
    if (mNoSound) {
        return;
    }
    ASSERT_NOT_IMPLEMENTED();
}

int BassAudio2d::SetMusicVolume(int)
{
    if (mNoSound) {
        return 0;
    }
    ASSERT_NOT_IMPLEMENTED();
    return 0;
}

double BassAudio2d::GetMusicPosition() const
{
    if (mNoSound || mPlayingMusic == nullptr || Mix_PlayingMusic() == 0) {
        return -1.0;
    }
    const double mixed = Mix_GetMusicPosition(mPlayingMusic);
    return mMusicPaused || mHeard == nullptr || mixed < 0.0 ? mixed : mHeard->At(mixed, SteadySeconds());
}

bool BassAudio2d::SetMusicPosition(double seconds)
{
    if (mNoSound || mPlayingMusic == nullptr) {
        return false;
    }
    const double length = Mix_MusicDuration(mPlayingMusic);
    if (seconds < 0.0 || (length >= 0.0 && seconds >= length)) {
        Mix_HaltMusic();
        return true;
    }
    if (Mix_PlayingMusic() == 0) {
        // Ended or halted: started again where asked, without a fade.
        if (Mix_FadeInMusicPos(mPlayingMusic, 1, 0, seconds) != 0) {
            std::cerr << "BassAudio2d::SetMusicPosition(): " << SdlErrorText() << std::endl;
            return false;
        }
    } else if (Mix_SetMusicPosition(seconds) != 0) {
        std::cerr << "BassAudio2d::SetMusicPosition(): " << SdlErrorText() << std::endl;
        return false;
    }
    if (mMusicPaused) {
        Mix_PauseMusic();
    }
    if (mHeard) {
        mHeard->Reset();
    }
    return true;
}

void BassAudio2d::PauseMusic(bool paused)
{
    mMusicPaused = paused;
    if (mNoSound || mPlayingMusic == nullptr) {
        return;
    }
    if (mHeard) {
        mHeard->Reset();
    }
    if (paused) {
        Mix_PauseMusic();
    } else {
        Mix_ResumeMusic();
    }
}

void BassAudio2d::LoadSfx(const QString&, const QString&)
{
    if (mNoSound) {
        return;
    }
    ASSERT_NOT_IMPLEMENTED();
}

void BassAudio2d::DeleteSfx(const QString&)
{
    if (mNoSound) {
        return;
    }
    ASSERT_NOT_IMPLEMENTED();
}

int BassAudio2d::PlaySfx(const QString&, int, int)
{
    if (mNoSound) {
        return -1;
    }
    ASSERT_NOT_IMPLEMENTED();
    return -1;
}

int BassAudio2d::SetChannelVolume(int, int)
{
    if (mNoSound) {
        return 0;
    }
    ASSERT_NOT_IMPLEMENTED();
    return 0;
}

void BassAudio2d::HaltChannel(int)
{
    if (mNoSound) {
        return;
    }
    ASSERT_NOT_IMPLEMENTED();
}

bool BassAudio2d::OpenDevice(bool noSound, int frequency, bool stereo)
{
    if (mDeviceOpen) {
        SetError(ErrorAlready, "the audio device is already open");
        return false;
    }

    if (SDL_WasInit(SDL_INIT_AUDIO) == 0) {
        int result = 0;
        if (noSound) {
            // The silent driver, whatever the environment asks for: sound
            // is off because there may be no sound card at all.
            SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
            result = SDL_InitSubSystem(SDL_INIT_AUDIO);
            SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        } else {
            result = SDL_InitSubSystem(SDL_INIT_AUDIO);
        }
        if (result != 0) {
            SetError(ErrorDriver, SdlErrorText());
            return false;
        }
        mStartedAudioSubsystem = true;
    }

    // Exactly the requested format: SDL converts if the hardware differs.
    if (Mix_OpenAudioDevice(frequency, AUDIO_S16SYS, stereo ? 2 : 1, ChunkSize, nullptr, 0) != 0) {
        SetError(ErrorDevice, SdlErrorText());
        if (mStartedAudioSubsystem) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            mStartedAudioSubsystem = false;
        }
        return false;
    }
    mDeviceOpen = true;

    int openedFrequency = 0;
    Uint16 openedFormat = 0;
    int openedChannels = 0;
    Mix_QuerySpec(&openedFrequency, &openedFormat, &openedChannels);
    mOutputFrequency = openedFrequency;
    mOutputChannels = openedChannels;
    mOutputBytesPerSample = SDL_AUDIO_BITSIZE(openedFormat) / 8;
    mHeard.reset(new HeardPosition);
    Mix_SetPostMix(&BassAudio2d::AfterMix, this);
    return true;
}

void BassAudio2d::CloseDevice()
{
    if (mDeviceOpen) {
        Mix_SetPostMix(nullptr, nullptr);
        // Also after SDL has been shut down under us (the window does that):
        // the mixer keeps its own count of opens.
        Mix_CloseAudio();
        mDeviceOpen = false;
    }
    if (mStartedAudioSubsystem) {
        if (SDL_WasInit(SDL_INIT_AUDIO) != 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        mStartedAudioSubsystem = false;
    }
}

void BassAudio2d::FreeAllMusic()
{
    for (auto& entry : mMusic) {
        Mix_FreeMusic(entry.second);
    }
    mMusic.clear();
    SetPlayingMusic(nullptr);
}

void BassAudio2d::SetPlayingMusic(Mix_Music* music)
{
    mPlayingMusic = music;
    mMixedMusic = music;
    if (mHeard) {
        mHeard->Reset();
    }
}

void BassAudio2d::AfterMix(void* self, Uint8*, int length)
{
    auto* audio = static_cast<BassAudio2d*>(self);
    Mix_Music* music = audio->mMixedMusic;
    const int frameBytes = audio->mOutputChannels * audio->mOutputBytesPerSample;
    if (music != nullptr && audio->mHeard && frameBytes > 0 && audio->mOutputFrequency > 0) {
        const double position = Mix_GetMusicPosition(music);
        if (position >= 0.0) {
            const double seconds = static_cast<double>(length / frameBytes) / audio->mOutputFrequency;
            audio->mHeard->Mixed(position, seconds, SteadySeconds());
        }
    }
}

void BassAudio2d::SetError(ErrorCode code, const std::string& reason)
{
    mLastError = code;
    mLastErrorReason = reason;
}

void BassAudio2d::ThrowBassError(const QString& message) const
{
    std::string text = "BASS error(" + std::to_string(static_cast<int>(mLastError)) + "): " + message.toStdString();
    // SDL's reason goes on a line of its own below the message.
    if (text.empty() || text.back() != '\n') {
        text += '\n';
    }
    text += "  SDL error: " + mLastErrorReason;
    std::cerr << text << std::endl;
    throw std::runtime_error(text);
}
