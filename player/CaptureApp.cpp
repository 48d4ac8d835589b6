#include "CaptureApp.h"

#include "FrameCapture.h"
#include "Halvorn/DemoModel.h"
#include "PlayerCheck.h"
#include "Sdl2OpenglWindow.h"
#include "TimelineBuilder.h"

#include <GL/glew.h>
#include <SDL.h>

#include <csignal>
#include <iostream>

namespace {

// SDL turns SIGINT and SIGTERM into a quit event, but not SIGHUP (the
// terminal closed), which would end the process with the file unfinished.
volatile std::sig_atomic_t sHangUp = 0;

void OnHangUp(int)
{
    sHangUp = 1;
}

WindowPlacement HiddenWindow()
{
    // Its own framebuffer is never drawn to; every frame goes to the
    // capture's offscreen target.
    WindowPlacement placement;
    placement.mMode = WindowPlacement::Hidden;
    placement.mWidth = 64;
    placement.mHeight = 64;
    return placement;
}

} // namespace

void CaptureApp::PreferOffscreenVideo()
{
    // Ctrl+C under xvfb-run ends the X server as well, and a lost X
    // connection ends the program before the file is closed; without one the
    // capture stops cleanly. SDL_VIDEODRIVER in the environment has the say.
    if (SDL_getenv("SDL_VIDEODRIVER") != nullptr) {
        return;
    }
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    bool works = false;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_Window* window = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window != nullptr) {
            SDL_GLContext context = SDL_GL_CreateContext(window);
            works = context != nullptr;
            if (context != nullptr) {
                SDL_GL_DeleteContext(context);
            }
            SDL_DestroyWindow(window);
        }
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    if (!works) {
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    }
}

CaptureApp::CaptureApp(const PlayerOptions& player, const CaptureOptions& capture)
    : DemoApp(0, nullptr, QStringLiteral("vexel-player"), QStringLiteral(VEXEL_PLAYER_VERSION), capture.mWidth,
              capture.mHeight, static_cast<float>(capture.mWidth) / static_cast<float>(capture.mHeight), true, 3, 3,
              HiddenWindow())
    , mPlayer(player)
    , mCapture(capture)
{
    SetDataRoot(TimelineBuilder::DataRoot(mPlayer.mSettingsFile));
    mModel->mQuiet = true;
}

bool CaptureApp::Load(QString& error)
{
    // What would stop the player stops a capture, which would otherwise
    // write frames of parts that draw nothing.
    const QStringList blocking = PlayerCheck(true, !mPlayer.mMute).Blocking(mPlayer.mSettingsFile, nullptr);
    if (!blocking.isEmpty()) {
        error = blocking.join(QLatin1Char('\n'));
        return false;
    }
    if (!TimelineBuilder::Build(mPlayer.mSettingsFile, this, mModel, error)) {
        return false;
    }
    mEndTime = TimelineBuilder::EndTime(*mModel);
    return true;
}

int CaptureApp::Capture(const CaptureRange& range)
{
    const std::string soundtrack =
        mPlayer.mMute ? std::string()
                      : TimelineBuilder::SoundtrackPath(mPlayer.mSettingsFile, mModel->mSoundtrackFile).toStdString();
    bool first = true;
    FrameCapture capture(mCapture, range, soundtrack);
    // The parts' chatter on standard output (uniforms looked up on first
    // use) would break the one progress line; errors still go to stderr.
    std::streambuf* const chatter = std::cout.rdbuf(nullptr);
    struct sigaction hangUp = {};
    struct sigaction previous = {};
    hangUp.sa_handler = OnHangUp;
    sigemptyset(&hangUp.sa_mask);
    sigaction(SIGHUP, &hangUp, &previous);
    const int status = capture.Run(
        [this, &first](double time) {
            RenderFrame(time, first);
            first = false;
        },
        QuitAsked);
    sigaction(SIGHUP, &previous, nullptr);
    std::cout.rdbuf(chatter);
    return status;
}

void CaptureApp::RenderFrame(double time, bool first)
{
    // The first frame is reached as the live player reaches its start time,
    // so both show the same picture there.
    const double before = mModel->mTime;
    if (first) {
        mModel->Seek(time);
    } else {
        mModel->AdvanceTo(time);
    }

    // Black under the parts, as the player has around its picture; parts
    // that do not clear would otherwise draw over the last frame.
    GLfloat clearColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
    // The capture's target, bound by the capture loop, at the window's (the capture's) size.
    GLint framebuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer);
    mDrawTarget.mFramebuffer = static_cast<GLuint>(framebuffer);
    mDrawTarget.mArea = Rect<int>(0, 0, mWindow->mWidth, mWindow->mHeight);
    RenderParts(first ? 0.0 : mModel->mTime - before);
}

bool CaptureApp::QuitAsked()
{
    bool quit = sHangUp != 0;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        if (event.type == SDL_QUIT) {
            quit = true;
        }
    }
    return quit;
}
