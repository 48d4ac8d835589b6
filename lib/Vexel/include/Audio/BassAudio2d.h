#pragma once

#include "Audio/Audio2d.h"
#include "Audio/HeardPosition.h"
#include "AutoSingleton.h"

#include <QString>
#include <SDL_mixer.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>

// The engine's audio object, played through SDL2_mixer. Only what the demo
// needs is real: the output device, music loading and playback. The other
// operations are stubs that stay silent with sound off and fail otherwise.
class BassAudio2d : public Audio2d, public AutoSingleton<BassAudio2d>
{
public:
    BassAudio2d();
    ~BassAudio2d() override;

    void Init(bool noSound, int channels, int frequency, bool stereo, int bufferSize) override;
    void DeInit(float fadeOutSeconds) override;
    void Update() override;
    void LoadMusic(const QString& name, const QString& fileName) override;
    void DeleteMusic(const QString& name) override;
    void PlayMusic(const QString& name, int loops) override;
    void FadeInMusic(const QString& name, int loops, float seconds) override;
    void ChangeMusicFadeOutIn(const QString& name, int loops, float seconds) override;
    void StopMusic() override;
    void FadeOutMusic(float seconds) override;
    int SetMusicVolume(int volume) override;
    double GetMusicPosition() const override;
    bool SetMusicPosition(double seconds) override;
    void PauseMusic(bool paused) override;
    void LoadSfx(const QString& name, const QString& fileName) override;
    void DeleteSfx(const QString& name) override;
    int PlaySfx(const QString& name, int channel, int loops) override;
    int SetChannelVolume(int channel, int volume) override;
    void HaltChannel(int channel) override;

    // The numbers in "BASS error(N): ..." reports. SDL reports failures as
    // text only, so the number says which step of opening the output failed;
    // SDL's own text follows on the report.
    enum ErrorCode
    {
        ErrorNone = 0,
        // No audio driver could be started (SDL's audio subsystem).
        ErrorDriver = 1,
        // The driver is up, but the output device could not be opened.
        ErrorDevice = 2,
        // This object has already opened its device.
        ErrorAlready = 3
    };

private:
    bool OpenDevice(bool noSound, int frequency, bool stereo);
    void CloseDevice();
    void FreeAllMusic();
    void SetPlayingMusic(Mix_Music* music);
    // Called by SDL_mixer on its audio thread after each mix.
    static void AfterMix(void* self, Uint8* stream, int length);
    void SetError(ErrorCode code, const std::string& reason);
    [[noreturn]] void ThrowBassError(const QString& message) const;

    bool mNoSound = false;
    int mFrequency = 0;
    bool mStereo = false;
    std::map<QString, Mix_Music*> mMusic;

    bool mDeviceOpen = false;
    bool mStartedAudioSubsystem = false;
    // What the device really runs at; decoded sizes are given in it.
    int mOutputFrequency = 0;
    int mOutputChannels = 0;
    int mOutputBytesPerSample = 0;
    Mix_Music* mPlayingMusic = nullptr;
    // mPlayingMusic as the audio thread reads it.
    std::atomic<Mix_Music*> mMixedMusic{nullptr};
    std::unique_ptr<HeardPosition> mHeard;
    bool mMusicPaused = false;
    ErrorCode mLastError = ErrorNone;
    std::string mLastErrorReason;
};
