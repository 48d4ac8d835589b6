#pragma once

#include "CaptureOptions.h"
#include "Halvorn/DemoApp.h"
#include "PlayerOptions.h"

// The player turned into a renderer: a hidden window whose size is the
// capture size, so parts frame their pictures for it, and a timeline moved to
// each frame's exact time rather than by the clock. Nothing plays aloud.
class CaptureApp : public DemoApp
{
public:
    // Renders without an X server where SDL's offscreen driver gets a GL
    // context (EGL); else on the display as usual. Call before the app is made.
    static void PreferOffscreenVideo();
    // Opens the hidden window; throws as VexelApp does.
    CaptureApp(const PlayerOptions& player, const CaptureOptions& capture);

    // Builds the timeline; false with the text to show.
    bool Load(QString& error);
    // The end of the last part.
    double EndTime() const { return mEndTime; }
    // Renders and writes every frame of the range; the exit status (0 done,
    // 1 failed, 130 stopped by Ctrl+C or the window system).
    int Capture(const CaptureRange& range);

private:
    void RenderFrame(double time, bool first);
    static bool QuitAsked();

    PlayerOptions mPlayer;
    CaptureOptions mCapture;
    double mEndTime = 0.0;
};
