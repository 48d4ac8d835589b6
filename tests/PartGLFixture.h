#pragma once

#include "GlTestFixture.h"
#include "Halvorn/DemoApp.h"
#include "TestApp.h"

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <string>

namespace VexelTest {

// A real demo application (window, GL context, dummy audio) working in a
// temporary folder with the demo's shaders and the test's own pictures.
// Derives from GlTestFixture only for its pixel reading: the application
// brings its own window and context, so the base set-up is not run.
class PartGLFixture : public GlTestFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(mDir.isValid());
        const QDir root(mDir.path());
        ASSERT_TRUE(root.mkpath("data/shaders") && root.mkpath("data/textures"));
        for (const QString shader : {"standard.330.vert", "standard.330.frag"}) {
            ASSERT_TRUE(QFile::copy(VEXEL_DEMO_DIR "/data/shaders/" + shader, root.filePath("data/shaders/" + shader)));
        }
        mPreviousDir = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(mDir.path()));
        mApp = MakeTestApp<DemoApp>(0, nullptr, "Parts", "1", Width, Height, 16.0f / 9.0f, true, 3, 3);
        ASSERT_NE(mApp, nullptr);
        glViewport(0, 0, Width, Height);
        DrainGlErrors();
    }

    void TearDown() override
    {
        mApp.reset();
        SDL_Quit();
        QDir::setCurrent(mPreviousDir);
    }

    // A w x h picture in data/textures; paint gives the colour of each pixel.
    static void SavePicture(const std::string& name, int w, int h, const std::function<Rgba(int x, int y)>& paint)
    {
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24);
        ASSERT_NE(surface, nullptr) << SDL_GetError();
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const Rgba color = paint(x, y);
                unsigned char* pixel = static_cast<unsigned char*>(surface->pixels) + y * surface->pitch + x * 3;
                pixel[0] = static_cast<unsigned char>(color.r);
                pixel[1] = static_cast<unsigned char>(color.g);
                pixel[2] = static_cast<unsigned char>(color.b);
            }
        }
        const std::string path = "data/textures/" + name;
        const bool jpeg = path.size() > 4 && path.compare(path.size() - 4, 4, ".jpg") == 0;
        const int result = jpeg ? IMG_SaveJPG(surface, path.c_str(), 100) : IMG_SavePNG(surface, path.c_str());
        SDL_FreeSurface(surface);
        ASSERT_EQ(result, 0) << SDL_GetError();
    }

    static void ClearTo(const Rgba& color)
    {
        glClearColor(color.r / 255.0f, color.g / 255.0f, color.b / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    QTemporaryDir mDir;
    QString mPreviousDir;
    AppPtr<DemoApp> mApp;
};

} // namespace VexelTest
