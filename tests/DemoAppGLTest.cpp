#include "Halvorn/DemoApp.h"

#include "Halvorn/DemoModel.h"
#include "OutputCapture.h"
#include "RecordingPart.h"
#include "TestApp.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using VexelTest::Capture;
using VexelTest::RecordingPart;
using Lines = std::vector<std::string>;

namespace {

// Counts the frames the main loop hands on, so a test can see that the last
// frame is drawn too.
class CountingDemoApp : public DemoApp
{
public:
    CountingDemoApp() : DemoApp(0, nullptr, "Timeline", "1", 1280, 720, 16.0f / 9.0f, false, 3, 3) {}

    void Update(double delta, double total) override
    {
        ++mUpdates;
        DemoApp::Update(delta, total);
    }
    void Render(double delta, double total) const override
    {
        ++mRenders;
        DemoApp::Render(delta, total);
    }

    int mUpdates = 0;
    mutable int mRenders = 0;
};

} // namespace

class DemoAppGLTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(mApp); }
    void TearDown() override
    {
        mApp.reset();
        SDL_Quit();
    }

    VexelTest::AppPtr<CountingDemoApp> mApp = VexelTest::MakeTestApp<CountingDemoApp>();
    VexelTest::PartJournal mJournal;
};

TEST_F(DemoAppGLTest, RunStopsWhenNothingIsLeftAndDrawsTheLastFrameToo)
{
    bool result = false;
    auto run = Capture([&] { result = mApp->Run(); });
    EXPECT_TRUE(result && mApp->mQuit);
    EXPECT_TRUE(mApp->mUpdates == 1 && mApp->mRenders == 1) << mApp->mUpdates << " " << mApp->mRenders;
    EXPECT_EQ(run.out, "") << "an empty timeline reports only at destruction";

    mApp->mQuit = false;
    mApp->mModel->AddPart(new RecordingPart(mJournal, 0.0, 0.4, 0, "first"));
    mApp->mModel->AddPart(new RecordingPart(mJournal, 0.2, 0.6, 0, "second"));
    mApp->mFpsUpdated = true;
    run = Capture([&] { result = mApp->Run(); });
    ASSERT_FALSE(run.Threw()) << run.err;
    EXPECT_TRUE(result);
    EXPECT_FALSE(mApp->mFpsUpdated);
    EXPECT_EQ(mApp->mRenders, mApp->mUpdates);
    EXPECT_EQ(mApp->mModel->mPastParts.size(), 2u);
    // Every update of a part is followed by its drawing with the same values.
    const Lines journal = mJournal.Take();
    for (auto it = journal.begin(); it != journal.end(); ++it) {
        if (it->rfind("update ", 0) == 0) {
            EXPECT_NE(std::find(it, journal.end(), "render " + it->substr(7)), journal.end()) << *it;
        }
    }
    EXPECT_EQ(journal.back(), "end second");
}

TEST_F(DemoAppGLTest, ArrowKeysSetThePlayModeSilentlyAndOtherKeysGoToTheBase)
{
    struct Case { int startMode; std::vector<int> keys; int mode, previous; };
    const Case cases[] = {
        {2, {SDLK_RIGHT}, 3, 2},
        // A second press does not lose the plain mode remembered by the first.
        {2, {SDLK_RIGHT, SDLK_RIGHT}, 3, 2},
        {0, {SDLK_LEFT}, 4, 0},
        {-1, {SDLK_RIGHT}, 3, 2},
    };
    for (const auto& c : cases) {
        mApp->mModel->mPlayMode = c.startMode;
        mApp->mModel->mPreviousPlayMode = 2;
        const auto captured = Capture([&] {
            for (int key : c.keys) {
                mApp->KeyDown(key);
                mApp->KeyUp(key);
            }
        });
        EXPECT_EQ(mApp->mModel->mPlayMode, c.mode) << c.startMode << " " << c.keys.size();
        EXPECT_EQ(mApp->mModel->mPreviousPlayMode, c.previous) << c.startMode << " " << c.keys.size();
        EXPECT_EQ(captured.out + captured.err, "");
    }

    // Releases are never logged; Escape ends the demo as in the base.
    const auto captured = Capture([&] {
        mApp->KeyDown(SDLK_a);
        mApp->KeyUp(SDLK_a);
        mApp->KeyUp(SDLK_ESCAPE);
        EXPECT_FALSE(mApp->mQuit);
        mApp->KeyDown(SDLK_ESCAPE);
    });
    EXPECT_EQ(captured.OutLines(), (Lines{"VexelApp::KeyDown(): Key code 97 pressed down.",
                                          "VexelApp::KeyDown(): Key code 27 pressed down."}));
    EXPECT_TRUE(mApp->mQuit);
}

TEST_F(DemoAppGLTest, SettingsOption)
{
    const std::string missing =
        "You must define a XML-file where to load demo settings! Eg. \"--settings mysettings.xml\"\n";
    struct Case { QStringList arguments; int index, next; const char* settingsFile; std::string err; };
    const Case cases[] = {
        {{"morvelin", "--settings", "my.xml"}, 1, 3, "my.xml", ""},
        {{"--settings", "a b.xml", "--settings", "c.xml"}, 2, 4, "c.xml", ""},
        {{"morvelin", "--settings"}, 1, 2, "", missing},
        {{"morvelin", "--Settings", "my.xml"}, 1, 1, "", ""},
        // The index is checked against the list, not trusted.
        {{"morvelin"}, 1, 1, "", ""},
        {{"morvelin"}, -1, -1, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString() + " @" + std::to_string(c.index));
        mApp->mSettingsFile = "";
        int next = 0;
        const auto captured = Capture([&] { next = mApp->ParseArgument(c.arguments.size(), c.arguments, c.index); });
        ASSERT_FALSE(captured.Threw());
        EXPECT_EQ(next, c.next);
        EXPECT_EQ(mApp->mSettingsFile, c.settingsFile);
        EXPECT_EQ(captured.err, c.err);
        EXPECT_EQ(captured.out, "");
    }
    // A missing name leaves an earlier one alone.
    mApp->mSettingsFile = "kept.xml";
    Capture([&] { mApp->ParseArgument(1, {"--settings"}, 0); });
    EXPECT_EQ(mApp->mSettingsFile, "kept.xml");
}
