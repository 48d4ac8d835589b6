/* Preloaded into a program to time its frames from outside: every buffer
 * swap appends the CLOCK_MONOTONIC time in nanoseconds, after the swap
 * returns, as one line to the file named by VEXEL_FRAME_LOG. The program
 * itself is not changed and logs nothing more. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

typedef void (*SwapFunction)(void*);

static SwapFunction realSwap = NULL;
static int logFd = -2;

void SDL_GL_SwapWindow(void* window)
{
    if (realSwap == NULL) {
        realSwap = (SwapFunction)dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
        if (realSwap == NULL) {
            return;
        }
    }
    realSwap(window);

    if (logFd == -2) {
        const char* path = getenv("VEXEL_FRAME_LOG");
        logFd = path != NULL ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
    }
    if (logFd >= 0) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        char line[32];
        const int length = snprintf(line, sizeof line, "%lld\n", (long long)now.tv_sec * 1000000000LL + now.tv_nsec);
        if (length > 0 && write(logFd, line, (size_t)length) < 0) {
            logFd = -1;
        }
    }
}
