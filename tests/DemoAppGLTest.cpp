#include "Halvorn/DemoApp.h"

#include "Audio/Audio2d.h"
#include "Halvorn/DemoModel.h"
#include "OutputCapture.h"
#include "RecordingPart.h"
#include "XvfbServer.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using VexelTest::Capture;
using VexelTest::PartJournal;
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

// The application never deletes its audio object; tests do, so that the next
// one may open a device.
struct AppDeleter
{
    void operator()(DemoApp* app) const
    {
        Audio2d* audio = app->mAudio;
        delete app;
        delete audio;
    }
};
using AppPtr = std::unique_ptr<CountingDemoApp, AppDeleter>;

} // namespace

class DemoAppGLTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VexelTest::EnsureDisplay();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        const auto captured = Capture([&] { mApp.reset(new CountingDemoApp()); });
        ASSERT_FALSE(captured.Threw()) << captured.err;
    }
    void TearDown() override
    {
        Capture([&] { mApp.reset(); });
        SDL_Quit();
    }

    AppPtr mApp;
    PartJournal mJournal;
};

TEST_F(DemoAppGLTest, EmptyTimelineStopsAfterOneFullFrameAndReportsOnceAtDestruction)
{
    EXPECT_EQ(mApp->mSettingsFile, "");
    ASSERT_NE(mApp->mModel, nullptr);
    bool result = false;
    const auto run = Capture([&] { result = mApp->Run(); });
    EXPECT_TRUE(result);
    EXPECT_TRUE(mApp->mQuit);
    EXPECT_EQ(mApp->mUpdates, 1);
    EXPECT_EQ(mApp->mRenders, 1);
    EXPECT_EQ(run.out, "");

    // The clock holds the first frame's measured length, whatever it was.
    const double time = mApp->mModel->mTime;
    const auto destroyed = Capture([&] { mApp.reset(); });
    const Lines lines = destroyed.OutLines();
    ASSERT_EQ(lines.size(), 12u) << destroyed.out;
    std::ostringstream timeText;
    timeText << time;
    EXPECT_EQ(lines[0], "== Time now " + timeText.str() + " ==");
    EXPECT_EQ(Lines(lines.begin() + 1, lines.end()),
              (Lines{"== Past parts ==", "", "", "== Current parts ==", "", "", "== Future parts ==", "", "",
                     "VexelApp::~VexelApp()", "Sdl2OpenglWindow::~Sdl2OpenglWindow()"}));
}

TEST_F(DemoAppGLTest, RunPlaysThePartsToTheirEndAndDrawsTheLastFrameToo)
{
    auto* first = new RecordingPart(mJournal, 0.0, 0.4, 0, "first");
    auto* second = new RecordingPart(mJournal, 0.2, 0.6, 0, "second");
    mApp->mModel->AddPart(first);
    mApp->mModel->AddPart(second);
    mApp->mFpsUpdated = true;

    bool result = false;
    const auto run = Capture([&] { result = mApp->Run(); });
    ASSERT_FALSE(run.Threw()) << run.err;
    EXPECT_TRUE(result);
    EXPECT_FALSE(mApp->mFpsUpdated);
    EXPECT_EQ(mApp->mRenders, mApp->mUpdates);
    EXPECT_GE(mApp->mModel->mTime, 0.6);
    EXPECT_TRUE(mApp->mModel->mFutureParts.empty());
    EXPECT_TRUE(mApp->mModel->mCurrentParts.empty());
    ASSERT_EQ(mApp->mModel->mPastParts.size(), 2u);
    EXPECT_DOUBLE_EQ(first->mRunningTime, 0.4);
    EXPECT_DOUBLE_EQ(second->mRunningTime, 0.4);

    const Lines moves = [&] {
        Lines found;
        for (const std::string& line : run.OutLines()) {
            if (line.rfind("Moving ", 0) == 0) {
                found.push_back(line);
            }
        }
        return found;
    }();
    EXPECT_EQ(moves.front(), "Moving futurepart \"first\" to currentparts...");
    EXPECT_EQ(moves.back(), "Moving currentpart \"second\" to pastparts...");
    EXPECT_EQ(moves.size(), 4u);

    // Every update of a part is followed by its drawing with the same values.
    const Lines journal = mJournal.Take();
    for (std::size_t i = 0; i < journal.size(); ++i) {
        if (journal[i].rfind("update ", 0) == 0) {
            ASSERT_LT(i + 1, journal.size());
            const std::string drawn = "render " + journal[i].substr(7);
            EXPECT_NE(std::find(journal.begin() + i, journal.end(), drawn), journal.end()) << journal[i];
        }
    }
    EXPECT_EQ(journal.back(), "end second");
}

TEST_F(DemoAppGLTest, ArrowKeysSetThePlayModeSilently)
{
    const struct
    {
        int startMode;
        std::vector<int> keys;
        int mode, previous;
    } cases[] = {
        {2, {SDLK_RIGHT}, 3, 2},
        {2, {SDLK_RIGHT, SDLK_RIGHT}, 3, 2},
        {2, {SDLK_LEFT}, 4, 2},
        {2, {SDLK_RIGHT, SDLK_LEFT, SDLK_RIGHT}, 3, 2},
        {0, {SDLK_LEFT}, 4, 0},
        {1, {SDLK_RIGHT}, 3, 1},
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
    EXPECT_FALSE(mApp->mQuit);
}

TEST_F(DemoAppGLTest, OtherKeysGoToTheBaseAndReleasesAreNeverLogged)
{
    auto captured = Capture([&] {
        mApp->KeyDown(SDLK_a);
        mApp->KeyUp(SDLK_a);
        mApp->KeyUp(SDLK_ESCAPE);
    });
    EXPECT_EQ(captured.out, "VexelApp::KeyDown(): Key code 97 pressed down.\n");
    EXPECT_FALSE(mApp->mQuit);
    EXPECT_EQ(mApp->mModel->mPlayMode, 2);

    captured = Capture([&] { mApp->KeyDown(SDLK_ESCAPE); });
    EXPECT_EQ(captured.out, "VexelApp::KeyDown(): Key code 27 pressed down.\n");
    EXPECT_TRUE(mApp->mQuit);
}

TEST_F(DemoAppGLTest, SettingsOption)
{
    const std::string missing =
        "You must define a XML-file where to load demo settings! Eg. \"--settings mysettings.xml\"\n";
    const struct
    {
        QStringList arguments;
        int index;
        int next;
        const char* settingsFile;
        std::string err;
    } cases[] = {
        {{"morvelin", "--settings", "my.xml"}, 1, 3, "my.xml", ""},
        {{"--settings", "a b.xml", "--settings", "c.xml"}, 2, 4, "c.xml", ""},
        {{"morvelin", "--settings"}, 1, 2, "", missing},
        {{"morvelin", "--Settings", "my.xml"}, 1, 1, "", ""},
        {{"morvelin", "my.xml"}, 1, 1, "", ""},
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
