#include "ErrorBox.h"

#include <SDL.h>

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

// The process group of the box's process: the box itself is a process SDL
// forks from it on X11, and it is in the same group.
volatile std::sig_atomic_t sBoxGroup = 0;

extern "C" void CloseBox(int)
{
    if (sBoxGroup > 0) {
        kill(-static_cast<pid_t>(sBoxGroup), SIGKILL);
    }
}

// In the box's process: its caller is gone or was told to stop.
extern "C" void EndBoxGroup(int)
{
    kill(0, SIGKILL);
}

// SDL's quit handlers turn SIGINT and SIGTERM into events nobody reads while
// the box is open, and SIGHUP has the demo's own: these close the box instead.
const int Signals[] = {SIGINT, SIGTERM, SIGHUP};

void CloseWindow()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        return;
    }
    if (SDL_GLContext context = SDL_GL_GetCurrentContext()) {
        SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
        SDL_GL_DeleteContext(context);
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

} // namespace

namespace Vexel {

void ShowErrorBox(const char* title, const std::string& message)
{
    // The box's process shares no connection to the display with this one,
    // so neither disturbs what the other has sent.
    CloseWindow();
    const pid_t caller = getpid();
    const pid_t box = fork();
    if (box < 0) {
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, message.c_str(), nullptr);
        return;
    }
    if (box == 0) {
        setpgid(0, 0);
        struct sigaction end = {};
        end.sa_handler = EndBoxGroup;
        sigemptyset(&end.sa_mask);
        for (const int signal : Signals) {
            sigaction(signal, &end, nullptr);
        }
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != caller) {
            _exit(0);
        }
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, message.c_str(), nullptr);
        _exit(0);
    }
    setpgid(box, box);
    sBoxGroup = box;
    struct sigaction closeBox = {};
    closeBox.sa_handler = CloseBox;
    sigemptyset(&closeBox.sa_mask);
    struct sigaction previous[sizeof Signals / sizeof Signals[0]];
    for (std::size_t i = 0; i < sizeof Signals / sizeof Signals[0]; ++i) {
        sigaction(Signals[i], &closeBox, &previous[i]);
    }
    int status = 0;
    while (waitpid(box, &status, 0) < 0 && errno == EINTR) {
    }
    sBoxGroup = 0;
    for (std::size_t i = 0; i < sizeof Signals / sizeof Signals[0]; ++i) {
        sigaction(Signals[i], &previous[i], nullptr);
    }
}

} // namespace Vexel
