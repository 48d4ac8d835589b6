#include "AutoSingleton.h"
#include "ForceOneInstance.h"
#include "OutputCapture.h"
#include "SingletonManager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <functional>
#include <string>
#include <utility>

using VexelTest::Capture;

namespace {

class Counted : public AutoSingleton<Counted>
{
public:
    Counted() { ++sAlive; }
    ~Counted() override { --sAlive; }
    static int sAlive;
};
int Counted::sAlive = 0;

class Named : public SingletonBase
{
public:
    explicit Named(std::string name = "") : mName(std::move(name)) {}
    ~Named() override { std::cerr << "released " << mName << std::endl; }

    std::string mName;
};

class Unique : public ForceOneInstance<Unique>
{
};

} // namespace

TEST(SingletonTest, InstanceCreatesOnceAndRegisters)
{
    Counted* first = Counted::Instance();
    Counted* second = Counted::Instance();
    EXPECT_EQ(first, second);
    EXPECT_EQ(Counted::sAlive, 1);
    EXPECT_TRUE(SingletonManager::IsRegistered(first));
}

TEST(SingletonTest, DirectlyMadeAutoSingletonLeavesQuietly)
{
    // Made without Instance, so never registered: destruction must not fail
    // the unregister check nor touch the registry.
    const auto captured = Capture([] {
        Counted* direct = new Counted();
        EXPECT_FALSE(SingletonManager::IsRegistered(direct));
        delete direct;
    });
    EXPECT_FALSE(captured.Threw());
    EXPECT_TRUE(captured.err.empty());
}

TEST(SingletonTest, RegistryChecksReportMisuse)
{
    const auto nullCase = Capture([] { SingletonManager::RegisterAutoSingleton(nullptr); });
    ASSERT_TRUE(nullCase.Threw());
    EXPECT_EQ(nullCase.ErrLines().at(0), "FATAL ERROR: Assertion (singleton != 0) failed!");
    EXPECT_EQ(nullCase.ErrLines().at(2), "  in \"lib/Vexel/src/SingletonManager.cpp\"");

    Named twice("twice");
    SingletonManager::RegisterAutoSingleton(&twice);
    const auto again = Capture([&] { SingletonManager::RegisterAutoSingleton(&twice); });
    ASSERT_TRUE(again.Threw());
    EXPECT_EQ(again.ErrLines().at(0),
              "FATAL ERROR: Assertion (mInstance.mAutoSingletons.find(singleton) == mInstance.mAutoSingletons.end()) failed!");
    SingletonManager::UnregisterSingleton(&twice);

    Named stranger("stranger");
    const auto unknown = Capture([&] { SingletonManager::UnregisterSingleton(&stranger); });
    ASSERT_TRUE(unknown.Threw());
    EXPECT_EQ(unknown.ErrLines().at(0),
              "FATAL ERROR: Assertion (mInstance.mAutoSingletons.find(singleton) != mInstance.mAutoSingletons.end() || "
              "mInstance.mManualSingletons.find(singleton) != mInstance.mManualSingletons.end()) failed!");
}

TEST(SingletonTest, ForceOneInstanceAllowsOneAtATime)
{
    auto* first = new Unique();
    const auto second = Capture([] { Unique another; });
    ASSERT_TRUE(second.Threw());
    EXPECT_EQ(second.ErrLines().at(0), "FATAL ERROR: Assertion (mHasInstance == false) failed!");
    EXPECT_EQ(second.ErrLines().at(2), "  in \"lib/Vexel/include/ForceOneInstance.h\"");
    delete first;
    const auto after = Capture([] { Unique next; });
    EXPECT_FALSE(after.Threw());
}

using SingletonDeathTest = ::testing::Test;

TEST(SingletonDeathTest, ReleasesByAscendingAddressAtExit)
{
    EXPECT_EXIT(
        {
            Named* low = new Named();
            Named* high = new Named();
            if (std::less<Named*>()(high, low)) {
                std::swap(low, high);
            }
            low->mName = "low";
            high->mName = "high";
            // Registration order is the reverse of address order.
            SingletonManager::RegisterAutoSingleton(high);
            SingletonManager::RegisterAutoSingleton(low);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "released low\nreleased high\n$");
}

TEST(SingletonDeathTest, WarnsAboutManualSingletonsAndReleasesThemAfterwards)
{
    EXPECT_EXIT(
        {
            SingletonManager::RegisterAutoSingleton(new Named("auto"));
            SingletonManager::RegisterManualSingleton(new Named("manual one"));
            SingletonManager::RegisterManualSingleton(new Named("manual two"));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0),
        "released auto\nWARNING: 2 unreleased singletons detected!\nreleased manual (one|two)\nreleased manual (one|two)\n$");
}

TEST(SingletonDeathTest, NormalExitHasNoWarning)
{
    EXPECT_EXIT(
        {
            SingletonManager::RegisterAutoSingleton(new Named("only"));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "^released only\n$");
}
