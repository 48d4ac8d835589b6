#include "AssertException.h"
#include "GlTestFixture.h"
#include "OutputCapture.h"
#include "Texture.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <string>
#include <vector>

using VexelTest::Capture;

namespace {

constexpr int PictureWidth = 33; // odd: 24-bit rows need padding to 4 bytes
constexpr int PictureHeight = 5;

struct Rgba8
{
    std::uint8_t r, g, b, a;
};

// Every pixel different, so a sheared or channel-swapped upload shows.
Rgba8 PictureColor(int x, int y)
{
    return {static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 50 + 3),
            static_cast<std::uint8_t>(250 - x * 5), static_cast<std::uint8_t>(255 - x * 2 - y)};
}

SDL_Surface* MakePicture(Uint32 format)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, PictureWidth, PictureHeight, 32, format);
    for (int y = 0; y < PictureHeight; ++y) {
        for (int x = 0; x < PictureWidth; ++x) {
            const Rgba8 c = PictureColor(x, y);
            const Uint32 value = SDL_MapRGBA(surface->format, c.r, c.g, c.b, c.a);
            auto* pixel = static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch +
                          x * surface->format->BytesPerPixel;
            SDL_memcpy(pixel, &value, surface->format->BytesPerPixel);
        }
    }
    return surface;
}

// A 32-bit BMP whose channels sit in an order the table does not name:
// red in the highest byte, alpha in the lowest.
QByteArray BitfieldBmp()
{
    QByteArray bmp;
    auto put = [&bmp](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            bmp.append(static_cast<char>((value >> (8 * i)) & 0xFF));
        }
    };
    const std::uint32_t pixelBytes = PictureWidth * PictureHeight * 4;
    put(0x4D42, 2);
    put(14 + 108 + pixelBytes, 4);
    put(0, 4);
    put(14 + 108, 4);
    put(108, 4); // BITMAPV4HEADER
    put(PictureWidth, 4);
    put(static_cast<std::uint32_t>(-PictureHeight), 4); // top-down rows
    put(1, 2);
    put(32, 2);
    put(3, 4); // BI_BITFIELDS
    put(pixelBytes, 4);
    put(2835, 4);
    put(2835, 4);
    put(0, 4);
    put(0, 4);
    put(0xFF000000u, 4);
    put(0x00FF0000u, 4);
    put(0x0000FF00u, 4);
    put(0x000000FFu, 4);
    put(0x73524742, 4); // 'sRGB'
    for (int i = 0; i < 48; ++i) {
        put(0, 1);
    }
    for (int y = 0; y < PictureHeight; ++y) {
        for (int x = 0; x < PictureWidth; ++x) {
            const Rgba8 c = PictureColor(x, y);
            put((std::uint32_t(c.r) << 24) | (std::uint32_t(c.g) << 16) | (std::uint32_t(c.b) << 8) | c.a, 4);
        }
    }
    return bmp;
}

std::vector<Rgba8> ReadTexture(GLuint handle)
{
    std::vector<Rgba8> pixels(PictureWidth * PictureHeight);
    glBindTexture(GL_TEXTURE_2D, handle);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

GLint TexParameter(GLenum name)
{
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

GLint LevelParameter(int level, GLenum name)
{
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}

std::string AssertExpression(const VexelTest::Captured& captured)
{
    try {
        std::rethrow_exception(captured.exception);
    } catch (const AssertException& e) {
        return std::string(e.expression) + " @ " + e.file;
    } catch (...) {
    }
    return "";
}

} // namespace

class TextureGLTest : public VexelTest::GlTestFixture
{
protected:
    void SetUp() override
    {
        VexelTest::GlTestFixture::SetUp();
        ASSERT_TRUE(mDir.isValid());
    }

    QString Save(const char* name, Uint32 format, const char* kind)
    {
        SDL_Surface* surface = MakePicture(format);
        const QString path = mDir.filePath(name);
        const std::string file = path.toStdString();
        int result = -1;
        if (std::string(kind) == "bmp") {
            result = SDL_SaveBMP(surface, file.c_str());
        } else if (std::string(kind) == "png") {
            result = IMG_SavePNG(surface, file.c_str());
        } else {
            result = IMG_SaveJPG(surface, file.c_str(), 100);
        }
        SDL_FreeSurface(surface);
        EXPECT_EQ(result, 0) << SDL_GetError();
        return path;
    }

    QString SavePalettised()
    {
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 8, SDL_PIXELFORMAT_INDEX8);
        SDL_Color colors[2] = {{255, 0, 0, 255}, {0, 0, 255, 255}};
        SDL_SetPaletteColors(surface->format->palette, colors, 0, 2);
        const QString path = mDir.filePath("palette.bmp");
        EXPECT_EQ(SDL_SaveBMP(surface, path.toStdString().c_str()), 0) << SDL_GetError();
        SDL_FreeSurface(surface);
        return path;
    }

    QTemporaryDir mDir;
};

TEST_F(TextureGLTest, TrueColourPicturesUploadInTheirChannelOrder)
{
    QFile bitfields(mDir.filePath("bitfields.bmp"));
    ASSERT_TRUE(bitfields.open(QIODevice::WriteOnly));
    bitfields.write(BitfieldBmp());
    bitfields.close();

    struct Case { QString file; Uint32 rmask; bool alpha; GLint internalFormat; };
    const Case cases[] = {
        {Save("rgb24.png", SDL_PIXELFORMAT_RGB24, "png"), 0x0000FF, false, GL_RGB},
        {Save("bgr24.bmp", SDL_PIXELFORMAT_BGR24, "bmp"), 0xFF0000, false, GL_RGB},
        {Save("rgba32.png", SDL_PIXELFORMAT_ABGR8888, "png"), 0x0000FF, true, GL_RGBA},
        {Save("bgra32.bmp", SDL_PIXELFORMAT_ARGB8888, "bmp"), 0xFF0000, true, GL_RGBA},
        {bitfields.fileName(), 0xFF000000, true, GL_RGBA},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        // The decoder must give the layout the case is about.
        SDL_Surface* decoded = IMG_Load(c.file.toStdString().c_str());
        ASSERT_NE(decoded, nullptr);
        EXPECT_EQ(decoded->format->Rmask, c.rmask);
        EXPECT_EQ(decoded->format->BytesPerPixel, c.alpha ? 4 : 3);
        SDL_FreeSurface(decoded);

        Texture texture;
        const auto captured = Capture([&] {
            EXPECT_TRUE(texture.Load(c.file, false, false, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE));
        });
        EXPECT_FALSE(captured.Threw());
        EXPECT_EQ(captured.out, "");
        EXPECT_EQ(captured.err, "");
        EXPECT_TRUE(texture.mTextureInUse);
        EXPECT_EQ(texture.GetWidth(), unsigned(PictureWidth));
        EXPECT_EQ(texture.GetHeight(), unsigned(PictureHeight));
        EXPECT_EQ(texture.mHasAlpha, c.alpha);
        EXPECT_TRUE(texture.mPixels.empty());

        const std::vector<Rgba8> pixels = ReadTexture(texture.mHandle);
        EXPECT_EQ(LevelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), c.internalFormat);
        int wrong = 0;
        for (int y = 0; y < PictureHeight; ++y) {
            for (int x = 0; x < PictureWidth; ++x) {
                const Rgba8 want = PictureColor(x, y);
                const Rgba8 got = pixels[y * PictureWidth + x];
                const bool same = got.r == want.r && got.g == want.g && got.b == want.b &&
                                  got.a == (c.alpha ? want.a : 255);
                if (!same && wrong++ < 3) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << int(got.r) << " " << int(got.g) << " "
                                  << int(got.b) << " " << int(got.a);
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
}

TEST_F(TextureGLTest, KeptPixelsAreTightRowsInTheFileOrder)
{
    Texture texture;
    texture.Load(Save("kept.bmp", SDL_PIXELFORMAT_BGR24, "bmp"), false, true, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    ASSERT_EQ(texture.mPixels.size(), std::size_t(PictureWidth * PictureHeight * 3));
    for (int y = 0; y < PictureHeight; ++y) {
        for (int x = 0; x < PictureWidth; ++x) {
            const Rgba8 want = PictureColor(x, y);
            const unsigned char* got = &texture.mPixels[(y * PictureWidth + x) * 3];
            ASSERT_EQ(got[0], want.b) << x << "," << y;
            ASSERT_EQ(got[1], want.g) << x << "," << y;
            ASSERT_EQ(got[2], want.r) << x << "," << y;
        }
    }
}

TEST_F(TextureGLTest, RejectedPicturesThrowAndStayUnused)
{
    const QString palette = SavePalettised();
    const QString missing = mDir.filePath("missing.png");

    Texture paletteTexture;
    const auto notTrueColour = Capture([&] { paletteTexture.Load(palette, false, false, GL_REPEAT, GL_REPEAT); });
    EXPECT_EQ(notTrueColour.out, "warning: the image is not truecolor..  this will probably break\n");
    EXPECT_EQ(notTrueColour.err, "");
    EXPECT_EQ(notTrueColour.What(), "Texture::Load(): Image was not truecolor! " + palette.toStdString());
    EXPECT_FALSE(paletteTexture.mTextureInUse);
    EXPECT_EQ(paletteTexture.mFileName, palette);

    Texture missingTexture;
    const auto notFound = Capture([&] { missingTexture.Load(missing, false, false, GL_REPEAT, GL_REPEAT); });
    EXPECT_EQ(notFound.What(), "Cannot load image!");
    EXPECT_EQ(notFound.out, "");
    EXPECT_EQ(notFound.err, "SDL could not load " + missing.toStdString() + ": " + SDL_GetError() + "\n");
    EXPECT_NE(std::string(SDL_GetError()), "");
    EXPECT_FALSE(missingTexture.mTextureInUse);
    EXPECT_EQ(missingTexture.mFileName, missing);
}

TEST_F(TextureGLTest, FiltersSetBeforeLoadAreAppliedByIt)
{
    GLuint other = 0;
    glGenTextures(1, &other);
    glBindTexture(GL_TEXTURE_2D, other);
    const GLint otherMin = TexParameter(GL_TEXTURE_MIN_FILTER);

    struct Case { bool mipmaps; GLint min; GLint levelOneWidth; };
    const Case cases[] = {{false, GL_LINEAR, 0}, {true, GL_NEAREST_MIPMAP_NEAREST, PictureWidth / 2}};
    const QString file = Save("filters.png", SDL_PIXELFORMAT_RGB24, "png");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mipmaps);
        Texture texture;
        texture.SetMinFilter(GL_LINEAR);
        texture.SetMagFilter(GL_LINEAR);
        texture.SetWrapStyle(GL_MIRRORED_REPEAT, GL_MIRRORED_REPEAT);
        // Not in use: only stored, the bound texture is untouched.
        glBindTexture(GL_TEXTURE_2D, other);
        EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), otherMin);
        EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);

        texture.Load(file, c.mipmaps, false, GL_CLAMP_TO_EDGE, GL_REPEAT);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), texture.mHandle);
        EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), c.min);
        EXPECT_EQ(TexParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
        EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
        EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
        EXPECT_EQ(texture.mMinFilter, c.min);
        // With mipmaps the further levels exist, so the texture can be sampled.
        EXPECT_EQ(LevelParameter(1, GL_TEXTURE_WIDTH), c.levelOneWidth);

        // In use, a setter acts on the bound texture at once.
        texture.SetMagFilter(GL_NEAREST);
        EXPECT_EQ(TexParameter(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    }
    glDeleteTextures(1, &other);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureGLTest, DestroyGivesTheNameBack)
{
    const QString file = Save("destroy.png", SDL_PIXELFORMAT_ABGR8888, "png");
    struct Case { bool keepPixels; unsigned width; unsigned height; bool alpha; };
    const Case cases[] = {{false, PictureWidth, PictureHeight, true}, {true, 0, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keepPixels);
        Texture texture;
        texture.Load(file, false, c.keepPixels, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
        const GLuint handle = texture.mHandle;
        EXPECT_EQ(glIsTexture(handle), GL_TRUE);
        EXPECT_EQ(texture.mPixels.empty(), !c.keepPixels);

        texture.Destroy();
        EXPECT_EQ(glIsTexture(handle), GL_FALSE);
        EXPECT_FALSE(texture.mTextureInUse);
        EXPECT_EQ(texture.GetWidth(), c.width);
        EXPECT_EQ(texture.GetHeight(), c.height);
        EXPECT_EQ(texture.mHasAlpha, c.alpha);
        EXPECT_TRUE(texture.mPixels.empty());

        // A second Destroy changes nothing; a reload after it works.
        texture.Destroy();
        EXPECT_FALSE(texture.mTextureInUse);
        EXPECT_TRUE(texture.Load(file, false, false, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE));
        EXPECT_TRUE(texture.mTextureInUse);
    }
    GLuint handle = 0;
    {
        Texture texture;
        texture.Load(file, false, false, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
        handle = texture.mHandle;
    }
    EXPECT_EQ(glIsTexture(handle), GL_FALSE);
}

TEST_F(TextureGLTest, SecondLoadWithoutDestroyFailsAfterDecoding)
{
    const QString first = Save("first.png", SDL_PIXELFORMAT_RGB24, "png");
    const QString second = Save("second.png", SDL_PIXELFORMAT_RGB24, "png");
    const QString missing = mDir.filePath("missing.png");

    Texture texture;
    texture.Load(first, false, false, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    const GLuint handle = texture.mHandle;

    const auto reload = Capture([&] { texture.Load(second, false, false, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE); });
    ASSERT_TRUE(reload.Threw());
    EXPECT_EQ(AssertExpression(reload), "mTextureInUse == false @ lib/Vexel/src/Texture.cpp");
    EXPECT_EQ(reload.ErrLines().at(0), "FATAL ERROR: Assertion (mTextureInUse == false) failed!");
    EXPECT_TRUE(texture.mTextureInUse);
    EXPECT_EQ(texture.mHandle, handle);
    EXPECT_EQ(glIsTexture(handle), GL_TRUE);

    // Decoding comes first: a missing second file fails as missing.
    const auto reloadMissing =
        Capture([&] { texture.Load(missing, false, false, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE); });
    EXPECT_EQ(reloadMissing.What(), "Cannot load image!");
}

TEST_F(TextureGLTest, BindNeedsATextureInUse)
{
    Texture texture;
    const auto captured = Capture([&] { texture.Bind(); });
    ASSERT_TRUE(captured.Threw());
    EXPECT_EQ(AssertExpression(captured), "mTextureInUse == true @ lib/Vexel/src/Texture.cpp");
    EXPECT_EQ(captured.ErrLines().size(), 4u);

    texture.Load(Save("bind.png", SDL_PIXELFORMAT_RGB24, "png"), false, false, GL_REPEAT, GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
    texture.Bind();
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), texture.mHandle);
}

TEST_F(TextureGLTest, PendingGlErrorIsReportedWithTheFileName)
{
    const QString file = Save("pending.png", SDL_PIXELFORMAT_RGB24, "png");
    glEnable(0xFFFF); // leaves GL_INVALID_ENUM pending
    Texture texture;
    const auto captured = Capture([&] { texture.Load(file, false, false, GL_REPEAT, GL_REPEAT); });
    const auto lines = captured.ErrLines();
    ASSERT_EQ(lines.size(), 6u) << captured.err;
    EXPECT_EQ(lines[0].rfind("OpenGL error: GL_INVALID_ENUM", 0), 0u);
    EXPECT_EQ(lines[2].rfind("  in: \"lib/Vexel/src/Texture.cpp\" at line ", 0), 0u);
    EXPECT_EQ(lines[3], "  Texture::Load");
    EXPECT_EQ(lines[4], "  Dynamic ID: " + file.toStdString());
    EXPECT_TRUE(texture.mTextureInUse);
}
