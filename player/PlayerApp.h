#pragma once

#include "Halvorn/DemoApp.h"
#include "FileWatch.h"
#include "PlaybackClock.h"
#include "PlayerOptions.h"

#include <memory>

class PlayerCheck;
class TimelineOverlay;

// A demo application a maker steers: it plays a settings file in a window,
// seeks, pauses and loops, with the timeline locked to the music. Every
// change of time goes through Seek, every frame's time comes from mClock.
class PlayerApp : public DemoApp
{
public:
    // Opens the window and the audio; throws as VexelApp does.
    explicit PlayerApp(const PlayerOptions& options);
    ~PlayerApp() override;

    // Builds the timeline and loads the music; false with the text to show.
    bool Load(QString& error);
    // Puts the timeline, picture and music at the start time, then starts both.
    void Start();
    bool Run() override;
    void Update(double delta, double total) override;
    void Render(double delta, double total) const override;
    void KeyDown(int key) override;
    void KeyUp(int key) override;

    // Clamped to the demo; moves the timeline and the music together.
    void Seek(double time);
    void SetPaused(bool paused);
    // A loop from..to, or none when from >= to.
    void SetLoop(double from, double to);

    // Builds the timeline again from the files, gated by the whole-file
    // check, and swaps it in at the same time and pause and loop state. On
    // any failure the timeline playing stays and the errors go to standard
    // error and LastError. Returns whether the new timeline is in.
    bool Reload();
    // The errors of the last reload; empty after a good one.
    const QString& LastError() const { return mLastError; }

    // Draws the overlay over the frame, and seeks when the strip asks to.
    void DrawOverlay(double frameSeconds);
    TimelineOverlay& Overlay() { return *mOverlay; }

    // The end of the last part.
    double EndTime() const { return mEndTime; }
    double Time() const { return mClock.Time(); }

private:
    // The display's frame time when the swap does not wait for it; 0 when it does.
    double FramePeriodWithoutVsync() const;
    void Say(const QString& line) const;
    void UpdateTitle(bool now);
    double BarLength() const;
    const Tempo* TempoOrNull() const;
    // The timeline's time for a player time: the end shows the moment before it.
    double ShownTime(double time) const;
    void UpdateEndTime();

    PlayerOptions mOptions;
    PlaybackClock mClock;
    bool mHasMusic = false;
    double mEndTime = 0.0;
    bool mAtEnd = false;
    bool mLooping = false;
    double mLoopFrom = 0.0;
    double mLoopTo = 0.0;
    // Frame rate over the last second, for the title.
    int mFps = 0;
    int mFramesCounted = 0;
    bool mShiftHeld = false;
    double mFpsSince = 0.0;
    double mTitleShownAt = -1.0;
    // How far the timeline was from the music, over the frames that had both
    // from a second after each start, seek or resume, once the clock has
    // caught up with the music.
    double mDriftFrom = 0.0;
    double mDriftSum = 0.0;
    double mDriftMax = 0.0;
    long mDriftFrames = 0;
    // Live reload.
    FileWatch mWatch;
    std::unique_ptr<PlayerCheck> mCheck;
    QString mLastError;
    bool mAnnounceReload = false;
    std::unique_ptr<TimelineOverlay> mOverlay;
};
