#include "Halvorn/DemoApp.h"

#include "Halvorn/DemoPart.h"
#include "TestApp.h"

#include <QDir>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;

TEST(DemoPartFactoryGLTest, EachKnownNameMakesItsOwnClassWithTheGivenEntryAndOthersGiveNull)
{
    // Parts find their shaders and pictures below the working folder.
    const QString previousDir = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(VEXEL_DEMO_DIR));
    const auto app = VexelTest::MakeTestApp<DemoApp>(0, nullptr, "Factory", "1", 1280, 720, 16.0f / 9.0f, true, 3, 3);
    ASSERT_NE(app, nullptr);

    const struct
    {
        const char* className;
        std::vector<DemoPartParam> params;
        const char* constructorLine;  // nullptr: not a known name
    } cases[] = {
        {"lib.Image", {{"image", "star.png"}, {"color", "1 2 3"}}, "Image::Image()"},
        {"lib.ClearScreen", {{"color", "1 2 3"}}, "ClearScreen::ClearScreen()"},
        {"lib.TestPartVao", {}, "TestSceneVao::TestSceneVao()"},
        {"lib.clearscreen", {}, nullptr},
        {" lib.ClearScreen", {}, nullptr},
        {"lib.ClearScreen ", {}, nullptr},
        {"ClearScreen", {}, nullptr},
        {"", {}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("'") + c.className + "'");
        DemoPart* made = nullptr;
        const auto captured = Capture(
            [&] { made = app->GetDemoPart(0.1f, 2.5f, 7, "sky", {{"musicTrack", "main"}}, c.params, c.className); });
        std::unique_ptr<DemoPart> part(made);
        ASSERT_FALSE(captured.Threw()) << captured.err;
        EXPECT_EQ(captured.err, "");
        EXPECT_EQ(captured.OutLines().at(0), "DemoApp::GetDemoPart()");
        if (c.constructorLine == nullptr) {
            EXPECT_EQ(part, nullptr);
            EXPECT_EQ(captured.OutLines().size(), 1u);
            continue;
        }
        ASSERT_NE(part, nullptr);
        EXPECT_EQ(captured.OutLines().at(1), c.constructorLine);
        // The class's own name, the times widened from float, each list where it belongs.
        EXPECT_EQ("lib." + part->mClassName, c.className);
        EXPECT_EQ(part->mStart, 0.100000001490116119384765625);
        EXPECT_EQ(part->mEnd, 2.5);
        EXPECT_EQ(part->mPriority, 7u);
        EXPECT_EQ(part->mName, "sky");
        EXPECT_EQ(part->mDemoApp, app.get());
        ASSERT_EQ(part->mAttributeParams.size(), 1u);
        EXPECT_EQ(part->mAttributeParams[0].mName, "musicTrack");
        EXPECT_EQ(part->mParams.size(), c.params.size());
    }
    QDir::setCurrent(previousDir);
}
