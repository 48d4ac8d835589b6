#include "XvfbServer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace VexelTest {

XvfbServer::XvfbServer()
{
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("XvfbServer: pipe failed");
    }
    mPid = fork();
    if (mPid < 0) {
        throw std::runtime_error("XvfbServer: fork failed");
    }
    if (mPid == 0) {
        close(fds[0]);
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x720x24",
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);

    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{fds[0], POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0) {
            continue;
        }
        char c = 0;
        const ssize_t n = read(fds[0], &c, 1);
        if (n <= 0) {
            break;
        }
        if (c == '\n') {
            break;
        }
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        kill(mPid, SIGKILL);
        waitpid(mPid, nullptr, 0);
        mPid = -1;
        throw std::runtime_error("XvfbServer: Xvfb did not start (is the xvfb package installed?)");
    }
    mDisplay = ":" + number;
}

XvfbServer::~XvfbServer()
{
    if (mPid > 0) {
        kill(mPid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 200; ++i) {
            if (waitpid(mPid, &status, WNOHANG) == mPid) {
                return;
            }
            usleep(10000);
        }
        kill(mPid, SIGKILL);
        waitpid(mPid, &status, 0);
    }
}

void EnsureDisplay()
{
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && *display != '\0') {
        return;
    }
    // Lives until the test process ends.
    static std::unique_ptr<XvfbServer> server;
    server = std::make_unique<XvfbServer>();
    setenv("DISPLAY", server->Display().c_str(), 1);
}

} // namespace VexelTest
