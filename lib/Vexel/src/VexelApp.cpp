#include "VexelApp.h"

#include "Audio/BassAudio2d.h"
#include "FrameTiming.h"
#include "Sdl2OpenglWindow.h"

#include <GL/glew.h>
#include <SDL.h>

#include <csignal>
#include <iostream>
#include <string>

namespace {

// SDL turns SIGINT and SIGTERM into its quit event, but a closed terminal
// (SIGHUP) would end the process on the spot, without the shutdown and its
// log. The handler may only set a flag; the event loop acts on it.
volatile std::sig_atomic_t sHangUp = 0;
struct sigaction sPreviousHangUpAction;

extern "C" void OnHangUp(int)
{
    sHangUp = 1;
}

const char* GlText(GLenum name)
{
    const GLubyte* text = glGetString(name);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

} // namespace

VexelApp::VexelApp(int, char**, const QString& title, const QString& version, int width, int height,
                   float aspectRatio, bool noSound, int glMajorVersion, int glMinorVersion,
                   const WindowPlacement& placement)
{
    std::cout << "VexelApp::VexelApp()" << std::endl;
    std::cout << "== " << title.toStdString() << " v." << version.toStdString() << " " << std::string(52, '=')
              << std::endl;

    try {
        mWindow = new Sdl2OpenglWindow(width, height, aspectRatio, title + " v." + version + " - loading...",
                                       glMajorVersion, glMinorVersion, placement);
        mAudio = new BassAudio2d();
        mAudio->Init(noSound, 8, 44100, true, 4096);
        PrintOpenGlInfo(false);
        mWindow->SetWindowTitle(title + " v." + version);
        sHangUp = 0;
        struct sigaction hangUp = {};
        hangUp.sa_handler = OnHangUp;
        sigemptyset(&hangUp.sa_mask);
        sigaction(SIGHUP, &hangUp, &sPreviousHangUpAction);
    } catch (...) {
        // No destructor runs for a half-built object: give back what is
        // already open, so the caller may report and try again.
        delete mAudio;
        mAudio = nullptr;
        delete mWindow;
        mWindow = nullptr;
        throw;
    }
}

VexelApp::~VexelApp()
{
    std::cout << "VexelApp::~VexelApp()" << std::endl;
    sigaction(SIGHUP, &sPreviousHangUpAction, nullptr);
    if (mWindow != nullptr) {
        delete mWindow;
        mWindow = nullptr;
    }
    // mAudio is never deleted, but the music does not outlive the window: its
    // teardown quits SDL, which closes the audio device.
}

int VexelApp::ParseArgument(int, const QStringList&, int index)
{
    return index;
}

bool VexelApp::Run()
{
    Uint32 previousTicks = SDL_GetTicks();
    double time = 0.0;
    double lastFpsTime = 0.0;

    while (!mQuit) {
        const Uint32 nowTicks = SDL_GetTicks();
        const double dt = Vexel::FrameSeconds(previousTicks, nowTicks);
        time += dt;

        HandleEvents(dt, time);
        Update(dt, time);
        Render(dt, time);
        mWindow->SwapBuffers();

        if (time >= lastFpsTime + mFpsUpdateInterval) {
            mFpsUpdated = true;
            mFps = Vexel::FramesPerSecond(dt);
            lastFpsTime = time;
        }

        SDL_Delay(10);
        previousTicks = nowTicks;
    }
    return true;
}

void VexelApp::Update(double, double)
{
    std::cout << "VexelApp::Update(): Non-overridden empty implementation" << std::endl;
}

void VexelApp::Render(double, double) const
{
    std::cout << "VexelApp::Render() const: Non-overridden empty implementation" << std::endl;
}

void VexelApp::KeyUp(int key)
{
    std::cout << "VexelApp::KeyUp(): Key code " << key << " released." << std::endl;
}

void VexelApp::KeyDown(int key)
{
    std::cout << "VexelApp::KeyDown(): Key code " << key << " pressed down." << std::endl;
    if (key == SDLK_ESCAPE) {
        mQuit = true;
    }
}

void VexelApp::MouseMotion(unsigned int, int, int, int, int)
{
}

void VexelApp::OperatingSystemQuitEvent()
{
    std::cout << "VexelApp::OperatingSystemQuitEvent()" << std::endl;
    mQuit = true;
}

void VexelApp::HandleEvents(double, double)
{
    if (sHangUp != 0) {
        sHangUp = 0;
        OperatingSystemQuitEvent();
    }
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        switch (event.type) {
        case SDL_QUIT:
            OperatingSystemQuitEvent();
            break;
        case SDL_KEYDOWN:
            // Repeats included: a held key keeps calling KeyDown.
            KeyDown(event.key.keysym.sym);
            break;
        case SDL_KEYUP:
            KeyUp(event.key.keysym.sym);
            break;
        case SDL_MOUSEMOTION:
            MouseMotion(event.motion.state, event.motion.xrel, event.motion.yrel, event.motion.x, event.motion.y);
            break;
        default:
            break;
        }
    }
}

QString VexelApp::GetDataPath() const
{
    return mDataRoot + QStringLiteral("data/");
}

void VexelApp::SetDataRoot(const QString& folder)
{
    mDataRoot = folder;
    if (!mDataRoot.isEmpty() && !mDataRoot.endsWith(QLatin1Char('/'))) {
        mDataRoot += QLatin1Char('/');
    }
}

QString VexelApp::GetShaderPath() const
{
    return GetDataPath() + QStringLiteral("shaders/");
}

QString VexelApp::GetTexturePath() const
{
    return GetDataPath() + QStringLiteral("textures/");
}

void PrintOpenGlInfo(bool printExtensions)
{
    GLint major = 0;
    GLint minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);

    std::cout << "OpenGL vendor:   " << GlText(GL_VENDOR) << std::endl;
    std::cout << "OpenGL renderer: " << GlText(GL_RENDERER) << std::endl;
    std::cout << "OpenGL version:  " << major << "." << minor << " (" << GlText(GL_VERSION) << ")" << std::endl;
    std::cout << "GLSL version:    " << GlText(GL_SHADING_LANGUAGE_VERSION) << std::endl;

    if (printExtensions) {
        GLint count = 0;
        glGetIntegerv(GL_NUM_EXTENSIONS, &count);
        for (GLint i = 0; i < count; ++i) {
            const GLubyte* name = glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i));
            std::cout << (name != nullptr ? reinterpret_cast<const char*>(name) : "") << std::endl;
        }
    }
}
