#include "Halvorn/DemoApp.h"

#include "AssertException.h"
#include "Audio/Audio2d.h"
#include "Halvorn/DemoParts/ClearScreen.h"
#include "Halvorn/DemoParts/Image.h"
#include "Halvorn/DemoParts/TestPartVao.h"
#include "OutputCapture.h"
#include "XvfbServer.h"

#include <QDir>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>
#include <memory>
#include <string>

using VexelTest::Capture;

class DemoPartFactoryGLTest : public ::testing::Test
{
protected:
    // Called from SetUp: a failure in a suite set-up would only mark the tests skipped.
    static void CreateApp()
    {
        if (sApp != nullptr) {
            return;
        }
        VexelTest::EnsureDisplay();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        // Parts find their shaders and pictures below the working folder.
        sPreviousDir = QDir::currentPath();
        QDir::setCurrent(VEXEL_DEMO_DIR);
        const auto captured = Capture([&] {
            sApp = new DemoApp(0, nullptr, "Factory", "1", 1280, 720, 16.0f / 9.0f, true, 3, 3);
        });
        ASSERT_FALSE(captured.Threw()) << captured.err;
    }
    void SetUp() override
    {
        CreateApp();
        ASSERT_NE(sApp, nullptr);
    }
    static void TearDownTestSuite()
    {
        if (sApp == nullptr) {
            return;
        }
        Capture([&] {
            Audio2d* audio = sApp->mAudio;
            delete sApp;
            delete audio;
        });
        sApp = nullptr;
        SDL_Quit();
        QDir::setCurrent(sPreviousDir);
    }

    static DemoApp* sApp;
    static QString sPreviousDir;
};

DemoApp* DemoPartFactoryGLTest::sApp = nullptr;
QString DemoPartFactoryGLTest::sPreviousDir;

TEST_F(DemoPartFactoryGLTest, EachKnownNameMakesItsOwnClass)
{
    const struct
    {
        const char* className;
        std::vector<DemoPartParam> params;
        const char* madeClass;
        const char* constructorLine;
        std::function<bool(DemoPart*)> isRightType;
    } cases[] = {
        {"lib.Image", {{"image", "star.png"}}, "Image", "Image::Image()",
         [](DemoPart* p) { return dynamic_cast<Image*>(p) != nullptr; }},
        {"lib.ClearScreen", {}, "ClearScreen", "ClearScreen::ClearScreen()",
         [](DemoPart* p) { return dynamic_cast<ClearScreen*>(p) != nullptr; }},
        {"lib.TestPartVao", {}, "TestPartVao", "TestSceneVao::TestSceneVao()",
         [](DemoPart* p) { return dynamic_cast<TestPartVao*>(p) != nullptr; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.className);
        DemoPart* made = nullptr;
        const auto captured =
            Capture([&] { made = sApp->GetDemoPart(1.0f, 2.0f, 3, "n", {}, c.params, c.className); });
        std::unique_ptr<DemoPart> part(made);
        ASSERT_FALSE(captured.Threw()) << captured.err;
        ASSERT_NE(part, nullptr);
        EXPECT_TRUE(c.isRightType(part.get()));
        EXPECT_EQ(part->mClassName, c.madeClass);
        EXPECT_EQ(captured.OutLines().at(0), "DemoApp::GetDemoPart()");
        EXPECT_EQ(captured.OutLines().at(1), c.constructorLine);
    }
}

TEST_F(DemoPartFactoryGLTest, UnknownNamesGiveNullWithOnlyTheFactoryLine)
{
    for (const char* className : {"lib.clearscreen", " lib.ClearScreen", "lib.ClearScreen ", "ClearScreen",
                                  "lib.Nothing", ""}) {
        SCOPED_TRACE(std::string("'") + className + "'");
        DemoPart* part = reinterpret_cast<DemoPart*>(1);
        const auto captured = Capture([&] { part = sApp->GetDemoPart(0.0f, 1.0f, 0, "p", {}, {}, className); });
        EXPECT_FALSE(captured.Threw());
        EXPECT_EQ(part, nullptr);
        EXPECT_EQ(captured.out, "DemoApp::GetDemoPart()\n");
        EXPECT_EQ(captured.err, "");
    }
}

TEST_F(DemoPartFactoryGLTest, ClearScreenGetsTheWidenedTimesAndBothLists)
{
    DemoPart* made = nullptr;
    const auto captured = Capture([&] {
        made = sApp->GetDemoPart(0.1f, 2.5f, 7, "sky", {{"musicTrack", "main"}}, {{"color", "1 2 3"}},
                                 "lib.ClearScreen");
    });
    std::unique_ptr<DemoPart> part(made);
    ASSERT_FALSE(captured.Threw()) << captured.err;
    EXPECT_EQ(captured.out, "DemoApp::GetDemoPart()\nClearScreen::ClearScreen()\n");

    auto* clear = dynamic_cast<ClearScreen*>(part.get());
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(clear->mStart, 0.100000001490116119384765625);
    EXPECT_EQ(clear->mEnd, 2.5);
    EXPECT_EQ(clear->mPriority, 7u);
    EXPECT_EQ(clear->mName, "sky");
    EXPECT_EQ(clear->mClassName, "ClearScreen");
    EXPECT_EQ(clear->mDemoApp, sApp);
    ASSERT_EQ(clear->mAttributeParams.size(), 1u);
    EXPECT_EQ(clear->mAttributeParams[0].mName, "musicTrack");
    EXPECT_EQ(clear->mColor, glm::vec4(1.0f, 2.0f, 3.0f, 255.0f));
}

TEST_F(DemoPartFactoryGLTest, AFailingConstructorLeavesWithItsException)
{
    DemoPart* part = nullptr;
    const auto captured = Capture([&] {
        part = sApp->GetDemoPart(0.0f, 1.0f, 0, "bad", {}, {{"color", "red"}}, "lib.ClearScreen");
    });
    EXPECT_EQ(part, nullptr);
    ASSERT_TRUE(captured.Threw());
    EXPECT_THROW(std::rethrow_exception(captured.exception), AssertException);
    EXPECT_EQ(captured.out, "DemoApp::GetDemoPart()\nClearScreen::ClearScreen()\n");
}
