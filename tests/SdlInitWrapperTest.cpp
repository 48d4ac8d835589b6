#include "OutputCapture.h"
#include "SdlInitWrapper.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using VexelTest::Capture;
using Lines = std::vector<std::string>;

TEST(SdlInitWrapperTest, FlagsToStringNamesEachFlagInTableOrder)
{
    const struct
    {
        unsigned int flags;
        std::string text;
    } cases[] = {
        {0x21, "SDL_INIT_TIMER, SDL_INIT_VIDEO, "},
        {0x7231, "SDL_INIT_TIMER, SDL_INIT_AUDIO, SDL_INIT_VIDEO, SDL_INIT_JOYSTICK, SDL_INIT_HAPTIC, "
                 "SDL_INIT_GAMECONTROLLER, SDL_INIT_EVENTS, SDL_INIT_EVERYTHING, "},
        {0, ""},
        {0x100000, "SDL_INIT_NOPARACHUTE, "},
        {0x8000 | 0x2, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SdlInitWrapper().FlagsToString(c.flags), c.text) << std::hex << c.flags;
    }
}

TEST(SdlInitWrapperTest, InitThenWasInitThenSubsystem)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    auto* wrapper = new SdlInitWrapper();
    EXPECT_EQ(Capture([&] { EXPECT_TRUE(wrapper->Init(0x21)); }).OutLines(), Lines{"SDL init was called! (flag=33)"});
    EXPECT_EQ(SDL_WasInit(0x21), 0x21u);
    EXPECT_EQ(Capture([&] { wrapper->Init(0x21); }).OutLines(), Lines{"SDL wasinit was called! (flag=33)"});
    EXPECT_EQ(Capture([&] { wrapper->Init(SDL_INIT_AUDIO); }).OutLines(),
              (Lines{"SDL wasinit was called! (flag=16)", "SDL subsystem init was called!"}));
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), static_cast<Uint32>(SDL_INIT_AUDIO));

    EXPECT_EQ(Capture([&] { wrapper->QuitSubSystem(SDL_INIT_AUDIO); }).OutLines(),
              Lines{"SDL quitsubsystem was called!"});
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    const auto release = Capture([&] { delete wrapper; });
    EXPECT_EQ(release.OutLines(), Lines{"SDL quit was called!"});
    EXPECT_TRUE(release.err.empty());
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

TEST(SdlInitWrapperTest, FailedInitsThrowWithFlagNamesAndKeepTheState)
{
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    auto* wrapper = new SdlInitWrapper();
    auto failed = Capture([&] { wrapper->Init(0x21); });
    // SDL's reason follows on a line of its own.
    EXPECT_EQ(
        failed.What(),
        "Could not initialize SDL with flags (SDL_INIT_TIMER, SDL_INIT_VIDEO, )\n  SDL: no-such-driver not available");
    EXPECT_EQ(failed.OutLines(), Lines{"SDL init was called! (flag=33)"});
    EXPECT_TRUE(failed.err.empty());

    // Still not initialised: the next call tries SDL_Init again.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(Capture([&] { wrapper->Init(0x21); }).OutLines(), Lines{"SDL init was called! (flag=33)"});
    failed = Capture([&] { wrapper->Init(SDL_INIT_AUDIO); });
    EXPECT_EQ(failed.What(), "Could not initialize SDL subsystems with flags (SDL_INIT_AUDIO, )\n"
                             "  SDL: Audio target 'no-such-driver' not available");
    Capture([&] { delete wrapper; });
}

TEST(SdlInitWrapperTest, WithoutInitQuitSubSystemFailsItsCheckAndSdlIsNotQuit)
{
    auto* wrapper = new SdlInitWrapper();
    const auto captured = Capture([&] { wrapper->QuitSubSystem(SDL_INIT_AUDIO); });
    ASSERT_TRUE(captured.Threw());
    EXPECT_EQ(captured.ErrLines().at(0), "FATAL ERROR: Assertion (mSdlInitialized == true) failed!");
    EXPECT_EQ(captured.ErrLines().at(2), "  in \"lib/Vexel/src/SdlInitWrapper.cpp\"");
    EXPECT_TRUE(captured.out.empty());
    EXPECT_EQ(Capture([&] { delete wrapper; }).OutLines(), Lines{"SDL quit was NOT called!"});
}
