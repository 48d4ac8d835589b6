#pragma once

#include "ForceOneInstance.h"

#include <QString>

// The engine's sound interface; one object at a time.
class Audio2d : public ForceOneInstance<Audio2d>
{
public:
    ~Audio2d() override = default;

    virtual void Init(bool noSound, int channels, int frequency, bool stereo, int bufferSize) = 0;
    virtual void DeInit(float fadeOutSeconds) = 0;
    // Called once per frame.
    virtual void Update() = 0;
    virtual void LoadMusic(const QString& name, const QString& fileName) = 0;
    virtual void DeleteMusic(const QString& name) = 0;
    virtual void PlayMusic(const QString& name, int loops) = 0;
    virtual void FadeInMusic(const QString& name, int loops, float seconds) = 0;
    virtual void ChangeMusicFadeOutIn(const QString& name, int loops, float seconds) = 0;
    virtual void StopMusic() = 0;
    virtual void FadeOutMusic(float seconds) = 0;
    virtual int SetMusicVolume(int volume) = 0;
    // Seconds into the playing music; negative when none plays (none loaded,
    // sound off, or it has ended).
    virtual double GetMusicPosition() const = 0;
    // Moves the music to seconds, playing it again if it had ended; past its
    // end it stops. False when there is no music to move.
    virtual bool SetMusicPosition(double seconds) = 0;
    virtual void PauseMusic(bool paused) = 0;
    virtual void LoadSfx(const QString& name, const QString& fileName) = 0;
    virtual void DeleteSfx(const QString& name) = 0;
    virtual int PlaySfx(const QString& name, int channel, int loops) = 0;
    virtual int SetChannelVolume(int channel, int volume) = 0;
    virtual void HaltChannel(int channel) = 0;
};
