#include "Halvorn/DemoModel.h"
#include "PlayerApp.h"
#include "Sdl2OpenglWindow.h"
#include "TestApp.h"
#include "TimelineOverlay.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using VexelTest::AppPtr;
using VexelTest::MakeTestApp;

namespace {

// A settings file in a folder of its own, with the demo's shaders and the
// test scene's pictures beside it; played muted and quiet.
class PlayerGLTest : public ::testing::Test
{
protected:
    AppPtr<PlayerApp> Open(const std::string& parts, int width, int height, const std::string& buffers = "")
    {
        const QDir root(mDir.path());
        EXPECT_TRUE(root.mkpath("data/shaders") && root.mkpath("data/textures"));
        for (const QString file : {"shaders/standard.330.vert", "shaders/standard.330.frag", "textures/test.png",
                                   "textures/bg.jpg"}) {
            QFile::copy(VEXEL_DEMO_DIR "/data/" + file, root.filePath("data/" + file));
        }
        PlayerOptions options;
        options.mSettingsFile = WriteSettings(parts, buffers);
        options.mWindowWidth = width;
        options.mWindowHeight = height;
        options.mMute = true;
        options.mQuiet = true;
        AppPtr<PlayerApp> app = MakeTestApp<PlayerApp>(options);
        QString error;
        if (app && !app->Load(error)) {
            ADD_FAILURE() << error.toStdString();
            app.reset();
        }
        return app;
    }

    QString WriteSettings(const std::string& parts, const std::string& buffers = "")
    {
        QFile settings(QDir(mDir.path()).filePath("player.xml"));
        EXPECT_TRUE(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
        settings.write(("<Halvorn-demo-settings><name>T</name><version>1</version>"
                        "<soundtrack file=\"none.ogg\"/>" +
                        buffers + "<demoparts>" + parts + "</demoparts></Halvorn-demo-settings>")
                           .c_str());
        return settings.fileName();
    }

    // The whole drawable after a render, bottom row first, RGBA.
    static std::vector<unsigned char> Draw(const PlayerApp& app, int& width, int& height)
    {
        app.mWindow->GetDrawableSize(width, height);
        app.Render(0.0, 0.0);
        std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    // How many bytes are more than tolerance apart.
    static int Differing(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int tolerance)
    {
        int count = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            count += std::abs(a[i] - b[i]) > tolerance ? 1 : 0;
        }
        return count;
    }


    QTemporaryDir mDir;
};

} // namespace

TEST_F(PlayerGLTest, TheWholePictureShowsBetweenBlackBarsInASquareWindow)
{
    AppPtr<PlayerApp> app = Open("<part start=\"0\" end=\"10\" name=\"white\" class=\"lib.ClearScreen\" priority=\"0\">"
                                 "<param color=\"255 255 255\"/></part>",
                                 1000, 1000);
    ASSERT_TRUE(app);
    app->Seek(1.0);
    int width = 0;
    int height = 0;
    const std::vector<unsigned char> pixels = Draw(*app, width, height);
    ASSERT_EQ(width, 1000);
    ASSERT_EQ(height, 1000);
    // 1000 x 562.5 rounds to 563 rows of picture from row 218.
    struct Probe
    {
        int x;
        int y;
        int level;
    };
    for (const Probe probe : {Probe{500, 0, 0}, Probe{500, 217, 0}, Probe{500, 218, 255}, Probe{0, 500, 255},
                              Probe{999, 500, 255}, Probe{500, 780, 255}, Probe{500, 781, 0}, Probe{999, 999, 0}}) {
        SCOPED_TRACE(std::to_string(probe.x) + "," + std::to_string(probe.y));
        const unsigned char* pixel = &pixels[(static_cast<std::size_t>(probe.y) * width + probe.x) * 4];
        for (int channel = 0; channel < 3; ++channel) {
            EXPECT_NEAR(pixel[channel], probe.level, 3);
        }
    }
}

TEST_F(PlayerGLTest, ASeekShowsThePictureOfAStraightPlay)
{
    // A sky whose red counts from its start at 1 s, and a scene that turns.
    AppPtr<PlayerApp> app =
        Open("<part start=\"1\" end=\"20\" name=\"sky\" class=\"lib.ClearScreen\" priority=\"0\">"
             "<param color=\"0 0 0\"/><animate key=\"color\" times=\"0 10\" values=\"0 0 0; 250 0 0\"/></part>"
             "<part start=\"0.5\" end=\"20\" name=\"spin\" class=\"lib.TestPartVao\" priority=\"1\"/>",
             1280, 720);
    ASSERT_TRUE(app);
    int width = 0;
    int height = 0;
    app->Seek(0.0);
    for (int frame = 1; frame <= 26; ++frame) {
        app->mModel->AdvanceTo(frame / 8.0);
    }
    const std::vector<unsigned char> straight = Draw(*app, width, height);

    app->Seek(7.0);
    EXPECT_GT(Differing(Draw(*app, width, height), straight, 2), 1000) << "the sky and the scene must change with their running times";
    app->Seek(26 / 8.0);
    EXPECT_EQ(Differing(Draw(*app, width, height), straight, 2), 0);
    EXPECT_EQ(app->mModel->mCurrentParts.size(), 2u);
}

TEST_F(PlayerGLTest, AHiddenOverlayLeavesTheDemosPixelsAsTheyWere)
{
    AppPtr<PlayerApp> app =
        Open("<part start=\"0\" end=\"20\" name=\"sky\" class=\"lib.ClearScreen\" priority=\"0\">"
             "<param color=\"20 40 60\"/></part>"
             "<part start=\"0\" end=\"20\" name=\"spin\" class=\"lib.TestPartVao\" priority=\"1\"/>"
             "<part start=\"0\" end=\"20\" name=\"pic\" class=\"lib.Image\" priority=\"2\">"
             "<param image=\"test.png\" blending=\"transcluent\" relativeWidth=\"0.5\"/>"
             "<animate key=\"alpha\" times=\"0 4\" values=\"0 1\"/><animate key=\"rotate\" times=\"0 4\" values=\"0 90\"/>"
             "</part>",
             1280, 720);
    ASSERT_TRUE(app);
    app->Seek(2.0);
    int width = 0;
    int height = 0;
    // The frame as the window will show it: the demo, then the overlay.
    auto frame = [&]() {
        Draw(*app, width, height);
        app->DrawOverlay(0.016);
        std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        app->mWindow->SwapBuffers();
        return pixels;
    };

    app->Overlay().SetVisible(false);
    const std::vector<unsigned char> never = frame();
    app->Overlay().SetVisible(true);
    EXPECT_GT(Differing(frame(), never, 0), 10000) << "the overlay must show while visible";
    frame();
    app->Overlay().SetVisible(false);
    EXPECT_EQ(Differing(frame(), never, 0), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(PlayerGLTest, AFrameShowsThePartsOfItsTimeHoweverItWasReached)
{
    // Black under white from 1 to 1.5 s and red over the last half second.
    AppPtr<PlayerApp> app =
        Open("<part start=\"0\" end=\"3\" name=\"black\" class=\"lib.ClearScreen\" priority=\"0\"/>"
             "<part start=\"1\" end=\"1.5\" name=\"white\" class=\"lib.ClearScreen\" priority=\"1\">"
             "<param color=\"255 255 255\"/></part>"
             "<part start=\"2.5\" end=\"3\" name=\"red\" class=\"lib.ClearScreen\" priority=\"2\">"
             "<param color=\"255 0 0\"/></part>",
             64, 36);
    ASSERT_TRUE(app);
    // A seek, then the frame after it (none when negative), and what shows: White, Black or Red.
    const struct { double seek, step; char shown; } cases[] = {
        {1.45, -1, 'W'}, {1.45, 1.55, 'B'}, {1.5, -1, 'B'}, {0.95, 1.0, 'W'},
        {1.2, 1.5, 'B'}, {2.9, 2.99, 'R'},  {3.0, -1, 'R'}, {9.0, -1, 'R'},
    };
    for (const auto& c : cases) {
        app->Seek(c.seek);
        if (c.step >= 0.0) {
            app->mModel->AdvanceTo(c.step);
        }
        int width = 0;
        int height = 0;
        const std::vector<unsigned char> pixels = Draw(*app, width, height);
        const unsigned char* centre = &pixels[(static_cast<std::size_t>(height / 2) * width + width / 2) * 4];
        EXPECT_EQ(centre[0] < 128 ? 'B' : centre[1] < 128 ? 'R' : 'W', c.shown) << c.seek << " then " << c.step;
    }
}

TEST_F(PlayerGLTest, AReloadThroughAnEmptyTimelineLeavesNoGlErrorBehind)
{
    // The picture's program was current when its timeline went; the overlay
    // saved it and made it current again after it was gone.
    const std::string picture = "<part start=\"0\" end=\"10\" name=\"pic\" class=\"lib.Image\" priority=\"0\">"
                                "<param image=\"test.png\"/></part>";
    AppPtr<PlayerApp> app = Open(picture, 64, 36);
    ASSERT_TRUE(app);
    const auto frame = [&]() {
        app->Render(0.0, 0.0);
        app->DrawOverlay(0.016);
        app->mWindow->SwapBuffers();
    };
    frame();
    for (const std::string& parts : {std::string(), picture}) {
        SCOPED_TRACE(parts.empty() ? "no parts" : "the picture");
        WriteSettings(parts);
        const VexelTest::Captured captured = VexelTest::Capture([&] {
            EXPECT_TRUE(app->Reload());
            frame();
        });
        EXPECT_EQ(captured.err, "");
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(PlayerGLTest, TheOverlayShowsEachBufferAndAClickOnOneShowsItOverTheWholeWindow)
{
    // A red buffer beside a blue screen; the clear's alpha of 0 must not hide it.
    AppPtr<PlayerApp> app =
        Open("<part start=\"0\" end=\"20\" name=\"sky\" class=\"lib.ClearScreen\" priority=\"0\">"
             "<param color=\"0 0 255\"/></part>"
             "<part start=\"0\" end=\"20\" name=\"red\" class=\"lib.ClearScreen\" priority=\"1\">"
             "<param color=\"255 0 0\" target=\"b\"/></part>",
             640, 360, "<buffer name=\"b\" resolution=\"0.5\"/>");
    ASSERT_TRUE(app);
    app->Seek(1.0);
    int width = 0;
    int height = 0;
    // A frame and the red pixels' bounds in window coordinates, y from the top.
    int left = 0, right = 0, top = 0, bottom = 0;
    auto frame = [&]() {
        Draw(*app, width, height);
        app->DrawOverlay(0.016);
        std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        app->mWindow->SwapBuffers();
        left = top = 1 << 20;
        right = bottom = -1;
        for (std::size_t i = 0; i < pixels.size(); i += 4) {
            const int x = static_cast<int>(i / 4) % width;
            const int y = height - 1 - static_cast<int>(i / 4) / width;
            if (pixels[i] > 240 && pixels[i + 1] < 15 && pixels[i + 2] < 15) {
                left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
                bottom = std::max(bottom, y);
            }
        }
        return pixels;
    };
    auto click = [&](int x, int y) {
        for (const Uint32 type : {SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
            SDL_Event event{};
            event.type = type;
            event.button.button = SDL_BUTTON_LEFT;
            event.button.x = x;
            event.button.y = y;
            SDL_PushEvent(&event);
            frame();
        }
        // The window's centre.
        const std::vector<unsigned char> pixels = frame();
        const unsigned char* centre = &pixels[(static_cast<std::size_t>(height / 2) * width + width / 2) * 4];
        return std::vector<int>(centre, centre + 3);
    };

    app->Overlay().SetVisible(false);
    const std::vector<unsigned char> never = frame();
    EXPECT_EQ(right, -1) << "the buffer is not on the screen";
    app->Overlay().SetVisible(true);
    frame();
    frame();
    // The thumbnail, at the top right.
    EXPECT_NEAR(right - left + 1, TimelineOverlay::ThumbnailWidth, 2);
    EXPECT_TRUE(left > width / 2 && bottom < height / 2) << left << ", " << bottom;
    const int x = (left + right) / 2;
    const int y = (top + bottom) / 2;
    EXPECT_EQ(click(x, y), (std::vector<int>{255, 0, 0})) << "the buffer over the whole window";
    EXPECT_EQ(click(x, y), (std::vector<int>{0, 0, 255})) << "the demo again";
    click(x, y);
    app->Overlay().SetVisible(false);
    EXPECT_EQ(Differing(frame(), never, 0), 0) << "hidden, the overlay shows no buffer either";
}
