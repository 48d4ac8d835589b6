#include "OutputCapture.h"
#include "SdlInitWrapper.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <unistd.h>
#include <stdexcept>
#include <string>

using VexelTest::Capture;

TEST(SdlInitWrapperTest, FlagsToStringNamesEachFlagInTableOrder)
{
    SdlInitWrapper wrapper;
    struct Case { unsigned int flags; std::string text; };
    const Case cases[] = {
        {0x21, "SDL_INIT_TIMER, SDL_INIT_VIDEO, "},
        {0x7231, "SDL_INIT_TIMER, SDL_INIT_AUDIO, SDL_INIT_VIDEO, SDL_INIT_JOYSTICK, SDL_INIT_HAPTIC, "
                 "SDL_INIT_GAMECONTROLLER, SDL_INIT_EVENTS, SDL_INIT_EVERYTHING, "},
        {0, ""},
        {0x100000, "SDL_INIT_NOPARACHUTE, "},
        {0x8000 | 0x2, ""},
        {0x7230, "SDL_INIT_AUDIO, SDL_INIT_VIDEO, SDL_INIT_JOYSTICK, SDL_INIT_HAPTIC, SDL_INIT_GAMECONTROLLER, SDL_INIT_EVENTS, "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wrapper.FlagsToString(c.flags), c.text) << std::hex << c.flags;
    }
}

TEST(SdlInitWrapperTest, InitThenWasInitThenSubsystem)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    auto* wrapper = new SdlInitWrapper();

    auto first = Capture([&] { EXPECT_TRUE(wrapper->Init(0x21)); });
    EXPECT_FALSE(first.Threw());
    EXPECT_EQ(first.OutLines(), std::vector<std::string>{"SDL init was called! (flag=33)"});
    EXPECT_EQ(SDL_WasInit(0x21), 0x21u);

    auto again = Capture([&] { wrapper->Init(0x21); });
    EXPECT_EQ(again.OutLines(), std::vector<std::string>{"SDL wasinit was called! (flag=33)"});

    auto audio = Capture([&] { wrapper->Init(SDL_INIT_AUDIO); });
    EXPECT_FALSE(audio.Threw());
    EXPECT_EQ(audio.OutLines(), (std::vector<std::string>{"SDL wasinit was called! (flag=16)", "SDL subsystem init was called!"}));

    auto quitSub = Capture([&] { wrapper->QuitSubSystem(SDL_INIT_AUDIO); });
    EXPECT_EQ(quitSub.OutLines(), std::vector<std::string>{"SDL quitsubsystem was called!"});
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);

    auto release = Capture([&] { delete wrapper; });
    EXPECT_EQ(release.OutLines(), std::vector<std::string>{"SDL quit was called!"});
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    EXPECT_TRUE(release.err.empty());
}

TEST(SdlInitWrapperTest, FailedInitThrowsWithFlagNamesAndKeepsState)
{
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    auto* wrapper = new SdlInitWrapper();
    auto failed = Capture([&] { wrapper->Init(0x21); });
    ASSERT_TRUE(failed.Threw());
    EXPECT_EQ(failed.What(), "Could not initialize SDL with flags (SDL_INIT_TIMER, SDL_INIT_VIDEO, )\n");
    EXPECT_EQ(failed.OutLines(), std::vector<std::string>{"SDL init was called! (flag=33)"});
    EXPECT_TRUE(failed.err.empty());

    // Still not initialised: the next call tries SDL_Init again, and the
    // release does not call SDL_Quit.
    auto retry = Capture([&] { wrapper->Init(0x21); });
    EXPECT_EQ(retry.OutLines().at(0), "SDL init was called! (flag=33)");
    auto release = Capture([&] { delete wrapper; });
    EXPECT_EQ(release.OutLines(), std::vector<std::string>{"SDL quit was NOT called!"});
}

TEST(SdlInitWrapperTest, FailedSubsystemInitThrowsWithFlagNames)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    auto* wrapper = new SdlInitWrapper();
    Capture([&] { wrapper->Init(0x21); });
    auto failed = Capture([&] { wrapper->Init(SDL_INIT_AUDIO); });
    ASSERT_TRUE(failed.Threw());
    EXPECT_EQ(failed.What(), "Could not initialize SDL subsystems with flags (SDL_INIT_AUDIO, )\n");
    Capture([&] { delete wrapper; });
}

TEST(SdlInitWrapperTest, QuitSubSystemBeforeInitFailsItsCheck)
{
    SdlInitWrapper wrapper;
    auto captured = Capture([&] { wrapper.QuitSubSystem(SDL_INIT_AUDIO); });
    ASSERT_TRUE(captured.Threw());
    EXPECT_EQ(captured.ErrLines().at(0), "FATAL ERROR: Assertion (mSdlInitialized == true) failed!");
    EXPECT_EQ(captured.ErrLines().at(2), "  in \"lib/Vexel/src/SdlInitWrapper.cpp\"");
    EXPECT_TRUE(captured.out.empty());
}

using SdlInitWrapperDeathTest = ::testing::Test;

TEST(SdlInitWrapperDeathTest, InstanceIsReleasedAtExitWithQuitLine)
{
    EXPECT_EXIT(
        {
            // Only standard error reaches the matcher; the log is on stdout.
            dup2(STDERR_FILENO, STDOUT_FILENO);
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            SdlInitWrapper::Instance()->Init(0x21);
            std::cout << "exiting" << std::endl;
            // The registry owns it: at exit it is released and quits SDL.
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "SDL init was called! \\(flag=33\\)\nexiting\nSDL quit was called!\n$");
}
