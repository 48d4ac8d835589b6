#pragma once

#include <string>
#include <sys/types.h>

namespace VexelTest {

// A private Xvfb server (1280x720x24) on a display number it picks itself,
// so tests that send keys or read the screen never meet each other.
class XvfbServer
{
public:
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N"
    const std::string& Display() const { return mDisplay; }

private:
    pid_t mPid = -1;
    std::string mDisplay;
};

// Makes sure DISPLAY names a live X server for this process, starting a
// private one when there is none.
void EnsureDisplay();

} // namespace VexelTest
