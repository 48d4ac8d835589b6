#pragma once

#include "Audio/Audio2d.h"
#include "OutputCapture.h"
#include "VexelApp.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <utility>

namespace VexelTest {

// The application never deletes its audio object; tests do, so that the next
// application may open a device.
struct AppDeleter
{
    void operator()(VexelApp* app) const
    {
        Capture([app] {
            Audio2d* audio = app->mAudio;
            delete app;
            delete audio;
        });
    }
};

template <typename App>
using AppPtr = std::unique_ptr<App, AppDeleter>;

// An application of type App on a display, with SDL's dummy audio driver and
// its start-up log captured. Null, and a test failure, if construction throws.
template <typename App, typename... Args>
AppPtr<App> MakeTestApp(Args&&... args)
{
    EnsureDisplay();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    AppPtr<App> app;
    const Captured captured = Capture([&] { app.reset(new App(std::forward<Args>(args)...)); });
    EXPECT_FALSE(captured.Threw()) << captured.err;
    return app;
}

} // namespace VexelTest
