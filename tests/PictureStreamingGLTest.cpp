#include "GlTestFixture.h"
#include "OutputCapture.h"
#include "PictureCache.h"
#include "Texture.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <png.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;

namespace {

using Bytes = std::vector<unsigned char>;

// Every row and column different and the channels apart, so a shifted band,
// a lost row or swapped channels show; smooth enough to compress quickly.
Bytes Pattern(int width, int height, int channels)
{
    Bytes pixels(std::size_t(width) * height * channels);
    std::size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned char values[4] = {static_cast<unsigned char>(x), static_cast<unsigned char>(y),
                                             static_cast<unsigned char>((x >> 8) * 16 + (y >> 8)),
                                             static_cast<unsigned char>(x + y)};
            for (int c = 0; c < channels; ++c) {
                pixels[i++] = values[c];
            }
        }
    }
    return pixels;
}

std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> Surface(SDL_Surface* surface)
{
    return {surface, SDL_FreeSurface};
}

// What the whole-picture decoder makes of the file, as rows without padding.
Bytes DecodedWhole(const QString& file, bool alpha)
{
    auto loaded = Surface(IMG_Load(file.toStdString().c_str()));
    EXPECT_TRUE(loaded) << SDL_GetError();
    auto surface = Surface(
        SDL_ConvertSurfaceFormat(loaded.get(), alpha ? SDL_PIXELFORMAT_ABGR8888 : SDL_PIXELFORMAT_RGB24, 0));
    const std::size_t rowBytes = std::size_t(surface->w) * (alpha ? 4 : 3);
    Bytes rows(rowBytes * surface->h);
    for (int y = 0; y < surface->h; ++y) {
        const auto* source = static_cast<const unsigned char*>(surface->pixels) + std::size_t(y) * surface->pitch;
        std::copy(source, source + rowBytes, rows.begin() + y * rowBytes);
    }
    return rows;
}

Bytes TexturePixels(const Texture& texture)
{
    texture.Bind();
    Bytes pixels(std::size_t(texture.GetWidth()) * texture.GetHeight() * (texture.mHasAlpha ? 4 : 3));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, texture.mHasAlpha ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return pixels;
}

} // namespace

class PictureStreamingGLTest : public VexelTest::GlTestFixture
{
protected:
    // Each picture at least the streaming size as RGB or RGBA.
    QString SavePng(const char* name, int width, int height, png_uint_32 format)
    {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = width;
        image.height = height;
        image.format = format;
        const Bytes pixels = Pattern(width, height, PNG_IMAGE_PIXEL_CHANNELS(format));
        Bytes colormap;
        for (int i = 0; i < 256 && (format & PNG_FORMAT_FLAG_COLORMAP) != 0; ++i) {
            colormap.insert(colormap.end(), {static_cast<unsigned char>(i), static_cast<unsigned char>(255 - i),
                                             static_cast<unsigned char>(i / 2)});
            image.colormap_entries = 256;
        }
        const QString file = mDir.filePath(name);
        EXPECT_NE(png_image_write_to_file(&image, file.toStdString().c_str(), 0, pixels.data(), 0,
                                          colormap.empty() ? nullptr : colormap.data()),
                  0)
            << image.message;
        return file;
    }

    QString SaveJpeg(const char* name, int width, int height)
    {
        Bytes pixels = Pattern(width, height, 3);
        auto surface = Surface(
            SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), width, height, 24, width * 3, SDL_PIXELFORMAT_RGB24));
        const QString file = mDir.filePath(name);
        EXPECT_EQ(IMG_SaveJPG(surface.get(), file.toStdString().c_str(), 90), 0) << SDL_GetError();
        return file;
    }

    QTemporaryDir mDir;
};

TEST_F(PictureStreamingGLTest, BigPicturesStreamToTheSamePixelsAsDecodedWhole)
{
    const QString jpeg = SaveJpeg("big.jpg", 3347, 3343);
    const QString shortJpeg = mDir.filePath("short.jpg");
    QFile::copy(jpeg, shortJpeg);
    QFile(shortJpeg).resize(QFile(jpeg).size() / 2);

    struct Case { QString file; unsigned width, height; bool alpha; GLint internalFormat; bool viaCache; };
    const Case cases[] = {
        {SavePng("rgb.png", 3347, 3343, PNG_FORMAT_RGB), 3347, 3343, false, GL_RGB, false},
        {SavePng("rgba.png", 2897, 2899, PNG_FORMAT_RGBA), 2897, 2899, true, GL_RGBA, false},
        {jpeg, 3347, 3343, false, GL_RGB, false},
        // Read as far as it goes and the rest filled, as by the whole decoder.
        {shortJpeg, 3347, 3343, false, GL_RGB, false},
        // Decoded ahead, a big picture is only marked, and streams at upload.
        {jpeg, 3347, 3343, false, GL_RGB, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString() + (c.viaCache ? " through the cache" : ""));
        EXPECT_EQ(Texture::Decode(c.file).mStatus, Texture::Decoded::Streamed);
        std::shared_ptr<const Texture> texture;
        Texture loaded;
        const auto captured = Capture([&] {
            if (c.viaCache) {
                PictureCache::Prefetch({c.file});
                texture = PictureCache::Acquire(c.file, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
                PictureCache::DropPrefetched();
            } else {
                loaded.Load(c.file, false, false, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
            }
        });
        ASSERT_FALSE(captured.Threw()) << captured.What();
        EXPECT_EQ(captured.out + captured.err, "");
        const Texture& result = c.viaCache ? *texture : loaded;
        EXPECT_EQ(result.GetWidth(), c.width);
        EXPECT_EQ(result.GetHeight(), c.height);
        EXPECT_EQ(result.mHasAlpha, c.alpha);
        result.Bind();
        GLint internalFormat = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internalFormat);
        EXPECT_EQ(internalFormat, c.internalFormat);
        GLint wrap = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
        EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);
        EXPECT_TRUE(TexturePixels(result) == DecodedWhole(c.file, c.alpha)) << "the pixels differ";
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

TEST_F(PictureStreamingGLTest, BigPicturesOutsideTheStreamedLayoutsFailAsBefore)
{
    const QString rgb = SavePng("damaged.png", 3347, 3343, PNG_FORMAT_RGB);
    QFile(rgb).resize(QFile(rgb).size() / 2);

    struct Case { QString file; bool streamed; std::string out; std::string error; };
    const Case cases[] = {
        {SavePng("grey.png", 6000, 6000, PNG_FORMAT_GRAY), false,
         "warning: the image is not truecolor..  this will probably break\n",
         "Texture::Load(): Image was not truecolor! " + mDir.filePath("grey.png").toStdString()},
        {SavePng("palette.png", 6000, 6000, PNG_FORMAT_RGB_COLORMAP), false,
         "warning: the image is not truecolor..  this will probably break\n",
         "Texture::Load(): Image was not truecolor! " + mDir.filePath("palette.png").toStdString()},
        // Found out half way through: reported as the whole decoder reports it.
        {rgb, true, "", "Cannot load image!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        EXPECT_EQ(Texture::Decode(c.file).mStatus == Texture::Decoded::Streamed, c.streamed);
        // What decoding the file whole prints and leaves as SDL's error.
        SDL_ClearError();
        const auto whole = Capture([&] { SDL_FreeSurface(IMG_Load(c.file.toStdString().c_str())); });
        const std::string sdlError = SDL_GetError();
        Texture texture;
        const auto captured = Capture([&] { texture.Load(c.file, false, false, GL_REPEAT, GL_REPEAT); });
        EXPECT_EQ(captured.What(), c.error);
        EXPECT_EQ(captured.out, c.out);
        EXPECT_EQ(captured.err, c.out.empty() ? whole.err + "SDL could not load " + c.file.toStdString() + ": " +
                                                    sdlError + "\n"
                                              : whole.err);
        EXPECT_FALSE(texture.mTextureInUse);
        EXPECT_EQ(texture.GetWidth(), 0u);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}
