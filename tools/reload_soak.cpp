// Reloads a settings file in a player over and over and shows whether
// anything grows: resident memory and the GL names alive of each kind.
//
//   reload_soak SETTINGS [RELOADS]      (default 100; needs a display)
//
// Each round is what a saved change does in the player: the check, a new
// timeline swapped in at the same time, then one frame with the overlay.
#include "Halvorn/DemoModel.h"
#include "PlayerApp.h"
#include "PlayerOptions.h"
#include "Sdl2OpenglWindow.h"

#include <GL/glew.h>
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <unistd.h>

namespace {

// Names are small integers handed out from 1; a leak shows as a count that grows.
const GLuint NamesLooked = 20000;

long ResidentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

template <typename Is>
int Alive(Is is)
{
    int count = 0;
    for (GLuint name = 1; name <= NamesLooked; ++name) {
        count += is(name) == GL_TRUE ? 1 : 0;
    }
    return count;
}

void Report(int round, double reloadMs)
{
    std::printf("%6d %9ld %9d %8d %6d %8d %7d %9.1f\n", round, ResidentKiB(),
                Alive([](GLuint n) { return glIsTexture(n); }), Alive([](GLuint n) { return glIsBuffer(n); }),
                Alive([](GLuint n) { return glIsVertexArray(n); }), Alive([](GLuint n) { return glIsProgram(n); }),
                Alive([](GLuint n) { return glIsShader(n); }), reloadMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: reload_soak SETTINGS [RELOADS]\n");
        return 2;
    }
    const int reloads = argc > 2 ? std::atoi(argv[2]) : 100;
    PlayerOptions options;
    options.mSettingsFile = QString::fromLocal8Bit(argv[1]);
    options.mMute = true;
    options.mQuiet = true;
    options.mPaused = true;
    options.mStart = 30.0;

    // The engine's and the loader's lines are not wanted here.
    std::cout.rdbuf(nullptr);
    PlayerApp app(options);
    QString error;
    if (!app.Load(error)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    app.Start();
    auto frame = [&app]() {
        app.Render(0.0, 0.0);
        app.DrawOverlay(0.016);
        app.mWindow->SwapBuffers();
    };
    frame();
    std::printf(" round  RSS(KiB)  textures  buffers   VAOs programs shaders reload(ms)\n");
    Report(0, 0.0);
    double totalMs = 0.0;
    for (int round = 1; round <= reloads; ++round) {
        const auto before = std::chrono::steady_clock::now();
        if (!app.Reload()) {
            std::fprintf(stderr, "reload %d failed: %s\n", round, app.LastError().toLocal8Bit().constData());
            return 1;
        }
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
        totalMs += ms;
        frame();
        if (round == 1 || round == 10 || round % 25 == 0 || round == reloads) {
            Report(round, ms);
        }
    }
    std::printf("mean reload %.1f ms over %d reloads, time after them %.3f s\n", totalMs / reloads, reloads,
                app.Time());
    return 0;
}
