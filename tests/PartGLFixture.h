#pragma once

#include "Audio/Audio2d.h"
#include "GlTestFixture.h"
#include "Halvorn/DemoApp.h"
#include "OutputCapture.h"
#include "XvfbServer.h"

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <functional>
#include <string>

namespace VexelTest {

// A real demo application (window, GL context, audio on the dummy driver),
// working in a temporary folder that holds the demo's shaders in
// data/shaders and the test's own pictures in data/textures.
class PartGLFixture : public ::testing::Test
{
public:
    static constexpr int Width = 1280;
    static constexpr int Height = 720;

protected:
    void SetUp() override
    {
        EnsureDisplay();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_TRUE(mDir.isValid());
        const QDir root(mDir.path());
        ASSERT_TRUE(root.mkpath("data/shaders"));
        ASSERT_TRUE(root.mkpath("data/textures"));
        for (const char* shader : {"standard.330.vert", "standard.330.frag"}) {
            ASSERT_TRUE(QFile::copy(QString(VEXEL_DEMO_DIR "/data/shaders/") + shader,
                                    root.filePath(QString("data/shaders/") + shader)));
        }
        mPreviousDir = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(mDir.path()));

        const auto captured = Capture([&] {
            mApp = new DemoApp(0, nullptr, "Parts", "1", Width, Height, 16.0f / 9.0f, true, 3, 3);
        });
        ASSERT_FALSE(captured.Threw()) << captured.err;
        glViewport(0, 0, Width, Height);
        while (glGetError() != GL_NO_ERROR) {
        }
    }

    void TearDown() override
    {
        if (mApp != nullptr) {
            // The application never deletes its audio object; the test does.
            Audio2d* audio = mApp->mAudio;
            Capture([&] { delete mApp; });
            delete audio;
            mApp = nullptr;
        }
        SDL_Quit();
        QDir::setCurrent(mPreviousDir);
    }

    // A picture of w x h pixels below data/textures; paint gives the colour of each pixel.
    static void SavePicture(const std::string& name, int w, int h, const std::function<Rgba(int x, int y)>& paint)
    {
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24);
        ASSERT_NE(surface, nullptr) << SDL_GetError();
        auto* pixels = static_cast<unsigned char*>(surface->pixels);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const Rgba color = paint(x, y);
                unsigned char* pixel = pixels + y * surface->pitch + x * 3;
                pixel[0] = static_cast<unsigned char>(color.r);
                pixel[1] = static_cast<unsigned char>(color.g);
                pixel[2] = static_cast<unsigned char>(color.b);
            }
        }
        const std::string path = "data/textures/" + name;
        const bool jpeg = name.size() > 4 && name.compare(name.size() - 4, 4, ".jpg") == 0;
        const int result = jpeg ? IMG_SaveJPG(surface, path.c_str(), 100) : IMG_SavePNG(surface, path.c_str());
        SDL_FreeSurface(surface);
        ASSERT_EQ(result, 0) << SDL_GetError();
    }

    static void ClearTo(const Rgba& color)
    {
        glClearColor(color.r / 255.0f, color.g / 255.0f, color.b / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    // Reads the back buffer; y counts from the top of the window.
    static Rgba ReadPixel(int x, int yFromTop)
    {
        unsigned char pixel[4] = {0, 0, 0, 0};
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, Height - 1 - yFromTop, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        return Rgba{pixel[0], pixel[1], pixel[2], pixel[3]};
    }

    QTemporaryDir mDir;
    QString mPreviousDir;
    DemoApp* mApp = nullptr;
};

} // namespace VexelTest
