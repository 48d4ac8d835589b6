#include "AutoSingleton.h"
#include "ForceOneInstance.h"
#include "OutputCapture.h"
#include "SingletonManager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iostream>
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

TEST(SingletonTest, InstanceRegistersOneObjectAndADirectlyMadeOneLeavesQuietly)
{
    Counted* first = Counted::Instance();
    EXPECT_EQ(Counted::Instance(), first);
    EXPECT_EQ(Counted::sAlive, 1);
    EXPECT_TRUE(SingletonManager::IsRegistered(first));

    // Never registered: destruction must not fail the unregister check nor
    // touch the registered one.
    const auto captured = Capture([] {
        Counted* direct = new Counted();
        EXPECT_FALSE(SingletonManager::IsRegistered(direct));
        delete direct;
    });
    EXPECT_FALSE(captured.Threw());
    EXPECT_TRUE(captured.err.empty());
    EXPECT_TRUE(SingletonManager::IsRegistered(first));
}

TEST(SingletonTest, RegistryChecksReportMisuse)
{
    Named twice("twice");
    Named stranger("stranger");
    SingletonManager::RegisterAutoSingleton(&twice);
    struct Case { std::function<void()> call; std::string expression; };
    const Case cases[] = {
        {[] { SingletonManager::RegisterAutoSingleton(nullptr); }, "singleton != 0"},
        {[&] { SingletonManager::RegisterAutoSingleton(&twice); },
         "mInstance.mAutoSingletons.find(singleton) == mInstance.mAutoSingletons.end()"},
        {[&] { SingletonManager::UnregisterSingleton(&stranger); },
         "mInstance.mAutoSingletons.find(singleton) != mInstance.mAutoSingletons.end() || "
         "mInstance.mManualSingletons.find(singleton) != mInstance.mManualSingletons.end()"},
    };
    for (const auto& c : cases) {
        const auto captured = Capture(c.call);
        ASSERT_TRUE(captured.Threw()) << c.expression;
        EXPECT_EQ(captured.ErrLines().at(0), "FATAL ERROR: Assertion (" + c.expression + ") failed!");
    }
    SingletonManager::UnregisterSingleton(&twice);
}

TEST(SingletonTest, ForceOneInstanceAllowsOneAtATime)
{
    auto* first = new Unique();
    const auto second = Capture([] { Unique another; });
    ASSERT_TRUE(second.Threw());
    EXPECT_EQ(second.ErrLines().at(0), "FATAL ERROR: Assertion (mHasInstance == false) failed!");
    EXPECT_EQ(second.ErrLines().at(2), "  in \"lib/Vexel/include/ForceOneInstance.h\"");
    delete first;
    EXPECT_FALSE(Capture([] { Unique next; }).Threw());
}

using SingletonDeathTest = ::testing::Test;

TEST(SingletonDeathTest, ReleasesByAscendingAddressAtExitWithoutAWarning)
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
        ::testing::ExitedWithCode(0), "^released low\nreleased high\n$");
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
        "^released auto\nWARNING: 2 unreleased singletons detected!\nreleased manual (one|two)\nreleased manual (one|two)\n$");
}
