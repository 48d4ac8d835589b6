#include "PlayerApp.h"

#include "Audio/Audio2d.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/Diagnostic.h"
#include "Letterbox.h"
#include "PlayerCheck.h"
#include "PlayTimeText.h"
#include "Sdl2OpenglWindow.h"
#include "TimelineBuilder.h"
#include "TimelineOverlay.h"

#include "AssertException.h"

#include <GL/glew.h>
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>
#include <set>
#include <streambuf>
#include <thread>

namespace {

double MonotonicSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

WindowPlacement PlacementFor(const PlayerOptions& options)
{
    WindowPlacement placement;
    placement.mMode = options.mFullscreen ? WindowPlacement::FullscreenDesktop : WindowPlacement::Windowed;
    placement.mWidth = options.mWindowWidth;
    placement.mHeight = options.mWindowHeight;
    return placement;
}

// Standard output goes nowhere while it lives.
class ConsoleSilence
{
public:
    ConsoleSilence()
        : mKept(std::cout.rdbuf(nullptr))
    {
    }
    ~ConsoleSilence()
    {
        std::cout.rdbuf(mKept);
        // Writing to no buffer marks the stream bad; a quiet player has none anyway.
        if (mKept != nullptr) {
            std::cout.clear();
        }
    }
    ConsoleSilence(const ConsoleSilence&) = delete;
    ConsoleSilence& operator=(const ConsoleSilence&) = delete;

private:
    std::streambuf* mKept;
};

// Seconds of grace for PageUp: pressed just after a part start, it goes to
// the one before, as a player's "previous" does.
const double PreviousGrace = 0.5;
// After a start, seek or resume the music's device buffers refill and the
// clock closes in on the music; the drift counts from then on.
const double DriftSettling = 1.0;
const double SecondsPerBlockWithoutTempo = 5.0;

} // namespace

PlayerApp::PlayerApp(const PlayerOptions& options)
    : DemoApp(0, nullptr, QStringLiteral("vexel-player"), QStringLiteral(VEXEL_PLAYER_VERSION), 1280, 720,
              16.0f / 9.0f, options.mMute, 3, 3, PlacementFor(options))
    , mOptions(options)
    , mClock(MonotonicSeconds, [this]() { return mHasMusic ? mAudio->GetMusicPosition() : -1.0; })
{
    SetDataRoot(TimelineBuilder::DataRoot(mOptions.mSettingsFile));
    mModel->mQuiet = true;
    mCheck.reset(new PlayerCheck(true, !mOptions.mMute));
    mOverlay.reset(new TimelineOverlay(mWindow->mWindow));
}

PlayerApp::~PlayerApp()
{
    if (mDriftFrames > 0) {
        Say(QStringLiteral("drift to the music over %1 frames: mean %2 ms, max %3 ms")
                .arg(mDriftFrames)
                .arg(mDriftSum / mDriftFrames * 1000.0, 0, 'f', 1)
                .arg(mDriftMax * 1000.0, 0, 'f', 1));
    }
}

bool PlayerApp::Load(QString& error)
{
    // What would stop a reload stops the start, where --check shows it.
    const QStringList blocking = mCheck->Blocking(mOptions.mSettingsFile, nullptr);
    if (!blocking.isEmpty()) {
        error = blocking.join(QLatin1Char('\n'));
        return false;
    }
    if (!TimelineBuilder::Build(mOptions.mSettingsFile, this, mModel, error)) {
        return false;
    }
    UpdateEndTime();
    mWatch.Watch(TimelineBuilder::InputFiles(mOptions.mSettingsFile));
    // The overlay's waveform and spectrum: analysed meanwhile, on a worker thread.
    mOverlay->SetMusic(GetSoundtrackAnalysis());
    if (!mOptions.mMute) {
        try {
            mAudio->LoadMusic(QStringLiteral("main"),
                              TimelineBuilder::SoundtrackPath(mOptions.mSettingsFile, mModel->mSoundtrackFile));
        } catch (const std::exception& failure) {
            error = mOptions.mSettingsFile + QStringLiteral(": error: ") + QString::fromUtf8(failure.what());
            return false;
        }
        mHasMusic = true;
    }
    return true;
}

void PlayerApp::Start()
{
    if (mOptions.mHasLoop) {
        SetLoop(mOptions.mLoopFrom, mOptions.mLoopTo);
    }
    const double start = std::clamp(mOptions.mStart, 0.0, mEndTime);
    mModel->Seek(ShownTime(start));
    // One frame drawn before the music starts: the driver does its first-use
    // work now rather than in the first frames that are heard.
    Render(0.0, 0.0);
    mWindow->SwapBuffers();

    if (mHasMusic) {
        mAudio->PlayMusic(QStringLiteral("main"), 0);
        mAudio->PauseMusic(mOptions.mPaused);
        mAudio->SetMusicPosition(start);
    }
    mClock.Seek(start);
    mClock.SetPaused(mOptions.mPaused);
    mFpsSince = MonotonicSeconds();
    mDriftFrom = mFpsSince + DriftSettling;
    UpdateTitle(true);
    Say(QStringLiteral("ready at ") + PlayTimeText::Clock(start) + (mOptions.mPaused ? QStringLiteral(", paused") : QString()));
}

bool PlayerApp::Run()
{
    double frameStart = MonotonicSeconds();
    const double framePeriod = FramePeriodWithoutVsync();
    double nextSwap = frameStart;
    while (!mQuit) {
        if (mWatch.Poll(MonotonicSeconds())) {
            Reload();
        }
        HandleEvents(0.0, 0.0);
        const double before = mModel->mTime;
        Update(0.0, 0.0);
        Render(mModel->mTime - before, 0.0);
        const double now = MonotonicSeconds();
        DrawOverlay(now - frameStart);
        frameStart = now;
        // Paced by the swap with vertical sync. A driver without it would swap
        // as fast as it draws, unevenly: then frames keep the display's rate.
        if (framePeriod > 0.0) {
            nextSwap = std::max(nextSwap + framePeriod, now - framePeriod);
            std::this_thread::sleep_for(std::chrono::duration<double>(nextSwap - now));
        }
        mWindow->SwapBuffers();
        if (mAnnounceReload) {
            // Said once the new timeline's first frame is on its way to the screen.
            mAnnounceReload = false;
            Say(QStringLiteral("reloaded at ") + PlayTimeText::Clock(mClock.Time()));
        }
        ++mFramesCounted;
        UpdateTitle(false);
    }
    return true;
}

double PlayerApp::FramePeriodWithoutVsync() const
{
    if (SDL_GL_GetSwapInterval() != 0) {
        return 0.0;
    }
    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(mWindow->mWindow);
    const bool known = display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0;
    return 1.0 / (known ? mode.refresh_rate : 60);
}

void PlayerApp::Update(double, double)
{
    if (mAudio != nullptr) {
        mAudio->Update();
    }
    double time = mClock.Tick();
    if (!mClock.IsPaused() && mClock.MusicTime() >= 0.0 && MonotonicSeconds() >= mDriftFrom) {
        const double drift = std::fabs(time - mClock.MusicTime());
        mDriftSum += drift;
        mDriftMax = std::max(mDriftMax, drift);
        ++mDriftFrames;
    }
    if (mLooping && time >= mLoopTo) {
        Seek(mLoopFrom);
        time = mClock.Time();
    }
    if (!mClock.IsPaused() && time >= mEndTime) {
        // The last picture stays; Space plays again from the start.
        time = mEndTime;
        mClock.Seek(mEndTime);
        SetPaused(true);
        mAtEnd = true;
        Say(QStringLiteral("end at ") + PlayTimeText::Clock(mEndTime));
    }
    mModel->AdvanceTo(ShownTime(time));
}

void PlayerApp::Render(double delta, double) const
{
    int drawableWidth = 0;
    int drawableHeight = 0;
    mWindow->GetDrawableSize(drawableWidth, drawableHeight);
    const Rect<int> picture = Letterbox::Fit(drawableWidth, drawableHeight, mWindow->mWidth, mWindow->mHeight);

    GLfloat clearColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, drawableWidth, drawableHeight);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);

    // Parts clear and draw for the logical screen; the scissor keeps their
    // clears inside the picture.
    glViewport(picture.mX, picture.mY, picture.mWidth, picture.mHeight);
    glScissor(picture.mX, picture.mY, picture.mWidth, picture.mHeight);
    glEnable(GL_SCISSOR_TEST);
    mDrawTarget.mFramebuffer = 0;
    mDrawTarget.mArea = picture;
    RenderParts(delta);
    glDisable(GL_SCISSOR_TEST);
}

void PlayerApp::KeyUp(int key)
{
    if (key == SDLK_LSHIFT || key == SDLK_RSHIFT) {
        mShiftHeld = false;
    }
}

void PlayerApp::KeyDown(int key)
{
    // Shift as it was when this key went down: by the time a frame reads the
    // queued events, the keyboard may have let go of it.
    if (key == SDLK_LSHIFT || key == SDLK_RSHIFT) {
        mShiftHeld = true;
        return;
    }
    const bool shift = mShiftHeld;
    const double now = mClock.Time();
    switch (key) {
    case SDLK_SPACE:
        if (mAtEnd) {
            Seek(mLooping ? mLoopFrom : 0.0);
            SetPaused(false);
        } else {
            SetPaused(!mClock.IsPaused());
        }
        break;
    case SDLK_LEFT:
    case SDLK_RIGHT:
        Seek(now + (key == SDLK_RIGHT ? 1.0 : -1.0) * (shift ? BarLength() : 1.0));
        break;
    case SDLK_PAGEUP:
    case SDLK_PAGEDOWN: {
        std::set<double> starts;
        for (const boost::ptr_list<DemoPart>* list : {&mModel->mPastParts, &mModel->mCurrentParts, &mModel->mFutureParts}) {
            for (const DemoPart& part : *list) {
                if (std::isfinite(part.mStart)) {
                    starts.insert(std::max(part.mStart, 0.0));
                }
            }
        }
        if (key == SDLK_PAGEDOWN) {
            const auto next = starts.upper_bound(now + 1e-6);
            Seek(next != starts.end() ? *next : mEndTime);
        } else {
            const auto after = starts.lower_bound(now - PreviousGrace);
            Seek(after != starts.begin() ? *std::prev(after) : 0.0);
        }
        break;
    }
    case SDLK_HOME:
        Seek(mLooping ? mLoopFrom : 0.0);
        break;
    case SDLK_l:
        if (mLooping) {
            SetLoop(0.0, 0.0);
        } else {
            const double from =
                mModel->mHasTempo ? mModel->mTempo.BarStartAt(now)
                                  : std::floor(now / SecondsPerBlockWithoutTempo) * SecondsPerBlockWithoutTempo;
            SetLoop(from, from + BarLength());
        }
        break;
    case SDLK_f:
        mWindow->SetFullscreenDesktop(!mWindow->IsFullscreen());
        break;
    case SDLK_r:
        Reload();
        break;
    case SDLK_F1:
        mOverlay->SetVisible(!mOverlay->IsVisible());
        break;
    case SDLK_ESCAPE:
    case SDLK_q:
        mQuit = true;
        break;
    default:
        break;
    }
}

void PlayerApp::Seek(double time)
{
    time = std::clamp(time, 0.0, mEndTime);
    mAtEnd = false;
    mModel->Seek(ShownTime(time));
    if (mHasMusic) {
        mAudio->SetMusicPosition(time);
    }
    mClock.Seek(time);
    mDriftFrom = MonotonicSeconds() + DriftSettling;
    UpdateTitle(true);
    Say(QStringLiteral("seek to ") + PlayTimeText::Clock(time));
}

void PlayerApp::SetPaused(bool paused)
{
    if (paused == mClock.IsPaused()) {
        return;
    }
    if (mHasMusic) {
        mAudio->PauseMusic(paused);
    }
    mClock.SetPaused(paused);
    if (!paused) {
        // The music may have moved by a buffer while it stopped; both restart together.
        mAtEnd = false;
        if (mHasMusic) {
            mAudio->SetMusicPosition(mClock.Time());
        }
        mDriftFrom = MonotonicSeconds() + DriftSettling;
    }
    UpdateTitle(true);
    Say((paused ? QStringLiteral("paused at ") : QStringLiteral("playing from ")) + PlayTimeText::Clock(mClock.Time()));
}

void PlayerApp::SetLoop(double from, double to)
{
    from = std::clamp(from, 0.0, mEndTime);
    to = std::clamp(to, 0.0, mEndTime);
    mLooping = from < to;
    mLoopFrom = from;
    mLoopTo = to;
    Say(mLooping ? QStringLiteral("loop ") + PlayTimeText::Clock(from) + QLatin1Char('-') + PlayTimeText::Clock(to)
                 : QStringLiteral("loop off"));
}

void PlayerApp::Say(const QString& line) const
{
    if (!mOptions.mQuiet) {
        std::cout << line.toStdString() << std::endl;
    }
}

void PlayerApp::UpdateTitle(bool now)
{
    const double wallTime = MonotonicSeconds();
    if (wallTime - mFpsSince >= 1.0) {
        mFps = static_cast<int>(std::lround(mFramesCounted / (wallTime - mFpsSince)));
        mFramesCounted = 0;
        mFpsSince = wallTime;
    }
    // A few times a second is enough to read, and setting a title costs a
    // round trip to the window system.
    if (!now && wallTime - mTitleShownAt < 0.1) {
        return;
    }
    mTitleShownAt = wallTime;
    const QString title = PlayTimeText::Title(mModel->mName, mModel->mVersion, mClock.Time(), TempoOrNull(), mFps,
                                              mClock.IsPaused());
    SDL_SetWindowTitle(mWindow->mWindow, title.toUtf8().constData());
}

void PlayerApp::DrawOverlay(double frameSeconds)
{
    mOverlay->AddFrameTime(frameSeconds);
    mOverlay->SetBuffers(Buffers());
    double seekTo = 0.0;
    if (mOverlay->Draw(*mModel, mClock.Time(), mEndTime, seekTo)) {
        Seek(seekTo);
    }
}

double PlayerApp::ShownTime(double time) const
{
    // Every part has left at the end itself; the picture that stays there is
    // the last one before it.
    return time < mEndTime ? time : std::max(0.0, std::nextafter(mEndTime, 0.0));
}

void PlayerApp::UpdateEndTime()
{
    mEndTime = TimelineBuilder::EndTime(*mModel);
}

double PlayerApp::BarLength() const
{
    return mModel->mHasTempo ? mModel->mTempo.SecondsPerBar() : SecondsPerBlockWithoutTempo;
}

const Tempo* PlayerApp::TempoOrNull() const
{
    return mModel->mHasTempo ? &mModel->mTempo : nullptr;
}

bool PlayerApp::Reload()
{
    const QString& file = mOptions.mSettingsFile;
    QStringList errors;
    std::unique_ptr<DemoModel> fresh;
    try {
        errors = mCheck->Blocking(file, &std::cerr);
        if (errors.isEmpty()) {
            fresh.reset(new DemoModel);
            fresh->mQuiet = true;
            QString error;
            // The loader's lines for every part were shown at the start.
            const ConsoleSilence silence;
            if (!TimelineBuilder::Build(file, this, fresh.get(), error)) {
                errors << error;
            }
        }
    } catch (const std::exception& failure) {
        errors << file + QStringLiteral(": error: ") + QString::fromUtf8(failure.what()).trimmed();
    } catch (const AssertException&) {
        errors << file + QStringLiteral(": error: a part entry cannot be used (see the report above)");
    } catch (...) {
        errors << file + QStringLiteral(": error: the timeline could not be built");
    }
    // The files as they are now, whether or not they were good.
    mWatch.Watch(TimelineBuilder::InputFiles(file));

    if (!errors.isEmpty()) {
        mLastError = errors.join(QLatin1Char('\n'));
        mOverlay->SetError(mLastError);
        for (const QString& line : errors) {
            std::cerr << line.toStdString() << std::endl;
        }
        Say(QStringLiteral("reload failed: the last good timeline plays on"));
        return false;
    }

    delete mModel;
    mModel = fresh.release();
    mLastError.clear();
    mOverlay->SetError(mLastError);
    UpdateEndTime();
    if (mLooping) {
        SetLoop(mLoopFrom, mLoopTo);
    }
    const double time = std::min(mClock.Time(), mEndTime);
    // A longer timeline goes on from here rather than from the start.
    mAtEnd = mAtEnd && time >= mEndTime;
    if (time != mClock.Time()) {
        Seek(time);
    } else {
        // The music and the clock go on as they were: only the timeline is new.
        mModel->Seek(ShownTime(time));
    }
    mAnnounceReload = true;
    return true;
}
