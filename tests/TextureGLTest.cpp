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
#include <utility>
#include <vector>

using VexelTest::Capture;

namespace {

constexpr int PictureWidth = 33; // odd: 24-bit rows need padding to 4 bytes
constexpr int PictureHeight = 5;

struct Rgba8 { std::uint8_t r, g, b, a; };

// Every pixel different, so a sheared or channel-swapped upload shows.
Rgba8 PictureColor(int x, int y)
{
    return {static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 50 + 3),
            static_cast<std::uint8_t>(250 - x * 5), static_cast<std::uint8_t>(255 - x * 2 - y)};
}

// A 32-bit BMP whose channels sit in an order the format table does not name:
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
    // File header; BITMAPV4HEADER with top-down rows, BI_BITFIELDS, the four masks, 'sRGB'.
    const std::pair<std::uint32_t, int> header[] = {
        {0x4D42, 2}, {14 + 108 + pixelBytes, 4}, {0, 4}, {14 + 108, 4}, {108, 4}, {PictureWidth, 4},
        {static_cast<std::uint32_t>(-PictureHeight), 4}, {1, 2}, {32, 2}, {3, 4}, {pixelBytes, 4}, {2835, 4},
        {2835, 4}, {0, 4}, {0, 4}, {0xFF000000u, 4}, {0x00FF0000u, 4}, {0x0000FF00u, 4}, {0x000000FFu, 4},
        {0x73524742, 4}};
    for (const auto& field : header) {
        put(field.first, field.second);
    }
    bmp.append(48, '\0');
    for (int i = 0; i < PictureWidth * PictureHeight; ++i) {
        const Rgba8 c = PictureColor(i % PictureWidth, i / PictureWidth);
        put((std::uint32_t(c.r) << 24) | (std::uint32_t(c.g) << 16) | (std::uint32_t(c.b) << 8) | c.a, 4);
    }
    return bmp;
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

} // namespace

class TextureGLTest : public VexelTest::GlTestFixture
{
protected:
    // The test picture in a surface format, saved as BMP or PNG after the name.
    QString Save(const QString& name, Uint32 format)
    {
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, PictureWidth, PictureHeight, 32, format);
        for (int i = 0; i < PictureWidth * PictureHeight; ++i) {
            const Rgba8 c = PictureColor(i % PictureWidth, i / PictureWidth);
            const SDL_Rect pixel{i % PictureWidth, i / PictureWidth, 1, 1};
            SDL_FillRect(surface, &pixel, SDL_MapRGBA(surface->format, c.r, c.g, c.b, c.a));
        }
        const std::string file = mDir.filePath(name).toStdString();
        const int result =
            name.endsWith(".bmp") ? SDL_SaveBMP(surface, file.c_str()) : IMG_SavePNG(surface, file.c_str());
        SDL_FreeSurface(surface);
        EXPECT_EQ(result, 0) << SDL_GetError();
        return QString::fromStdString(file);
    }

    QTemporaryDir mDir;
};

TEST_F(TextureGLTest, TrueColourPicturesUploadAndKeepTheirPixels)
{
    QFile bitfields(mDir.filePath("bitfields.bmp"));
    ASSERT_TRUE(bitfields.open(QIODevice::WriteOnly));
    bitfields.write(BitfieldBmp());
    bitfields.close();

    // kept: the byte order of the kept pixels, four letters when there is alpha.
    struct Case { QString file; Uint32 rmask; std::string kept; GLint internalFormat; };
    const Case cases[] = {
        {Save("rgb24.png", SDL_PIXELFORMAT_RGB24), 0x0000FF, "rgb", GL_RGB},
        {Save("bgr24.bmp", SDL_PIXELFORMAT_BGR24), 0xFF0000, "bgr", GL_RGB},
        {Save("rgba32.png", SDL_PIXELFORMAT_ABGR8888), 0x0000FF, "rgba", GL_RGBA},
        {Save("bgra32.bmp", SDL_PIXELFORMAT_ARGB8888), 0xFF0000, "bgra", GL_RGBA},
        {bitfields.fileName(), 0xFF000000, "rgba", GL_RGBA},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const std::size_t channels = c.kept.size();
        // The decoder must give the layout the case is about.
        SDL_Surface* decoded = IMG_Load(c.file.toStdString().c_str());
        ASSERT_NE(decoded, nullptr);
        EXPECT_EQ(decoded->format->Rmask, c.rmask);
        EXPECT_EQ(decoded->format->BytesPerPixel, channels);
        SDL_FreeSurface(decoded);

        Texture texture;
        const auto captured =
            Capture([&] { texture.Load(c.file, false, true, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE); });
        EXPECT_FALSE(captured.Threw());
        EXPECT_EQ(captured.out + captured.err, "");
        EXPECT_EQ(texture.GetWidth(), unsigned(PictureWidth));
        EXPECT_EQ(texture.GetHeight(), unsigned(PictureHeight));
        EXPECT_EQ(texture.mHasAlpha, channels == 4);
        ASSERT_EQ(texture.mPixels.size(), PictureWidth * PictureHeight * channels);
        EXPECT_EQ(LevelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), c.internalFormat);

        std::vector<Rgba8> uploaded(PictureWidth * PictureHeight);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, uploaded.data());
        int wrong = 0;
        for (int i = 0; i < PictureWidth * PictureHeight; ++i) {
            const Rgba8 want = PictureColor(i % PictureWidth, i / PictureWidth);
            const Rgba8 got = uploaded[i];
            bool same = got.r == want.r && got.g == want.g && got.b == want.b &&
                        got.a == (channels == 4 ? want.a : 255);
            for (std::size_t k = 0; k < channels; ++k) {
                const char name = c.kept[k];
                const int value = name == 'r' ? want.r : name == 'g' ? want.g : name == 'b' ? want.b : want.a;
                same = same && texture.mPixels[i * channels + k] == value;
            }
            if (!same && wrong++ < 3) {
                ADD_FAILURE() << "pixel " << i % PictureWidth << "," << i / PictureWidth << " uploaded as "
                              << int(got.r) << " " << int(got.g) << " " << int(got.b) << " " << int(got.a);
            }
        }
        EXPECT_EQ(wrong, 0);
    }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
}

TEST_F(TextureGLTest, RejectedPicturesThrowAndStayUnused)
{
    SDL_Surface* indexed = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 8, SDL_PIXELFORMAT_INDEX8);
    const SDL_Color colors[2] = {{255, 0, 0, 255}, {0, 0, 255, 255}};
    SDL_SetPaletteColors(indexed->format->palette, colors, 0, 2);
    const QString palette = mDir.filePath("palette.bmp");
    const int saved = SDL_SaveBMP(indexed, palette.toStdString().c_str());
    SDL_FreeSurface(indexed);
    ASSERT_EQ(saved, 0) << SDL_GetError();

    Texture texture;
    const auto notTrueColour = Capture([&] { texture.Load(palette, false, false, GL_REPEAT, GL_REPEAT); });
    EXPECT_EQ(notTrueColour.out, "warning: the image is not truecolor..  this will probably break\n");
    EXPECT_EQ(notTrueColour.err, "");
    EXPECT_EQ(notTrueColour.What(), "Texture::Load(): Image was not truecolor! " + palette.toStdString());

    const QString missing = mDir.filePath("missing.png");
    const auto notFound = Capture([&] { texture.Load(missing, false, false, GL_REPEAT, GL_REPEAT); });
    EXPECT_EQ(notFound.out, "");
    EXPECT_EQ(notFound.err, "SDL could not load " + missing.toStdString() + ": " + SDL_GetError() + "\n");
    EXPECT_EQ(notFound.What(), "Cannot load image!");
    EXPECT_FALSE(texture.mTextureInUse);
}

TEST_F(TextureGLTest, FiltersSetBeforeLoadAreAppliedByIt)
{
    const QString file = Save("filters.png", SDL_PIXELFORMAT_RGB24);
    GLuint other = 0;
    glGenTextures(1, &other);
    // With mipmaps Load picks its own minifying filter and makes the further
    // levels, so the texture can be sampled.
    struct Case { bool mipmaps; GLint min; GLint levelOneWidth; };
    const Case cases[] = {{false, GL_LINEAR, 0}, {true, GL_NEAREST_MIPMAP_NEAREST, PictureWidth / 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mipmaps);
        glBindTexture(GL_TEXTURE_2D, other);
        Texture texture;
        texture.SetMinFilter(GL_LINEAR);
        texture.SetMagFilter(GL_LINEAR);
        texture.SetWrapStyle(GL_MIRRORED_REPEAT, GL_MIRRORED_REPEAT);
        // Not in use: only stored, the bound texture keeps GL's defaults.
        EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
        EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);

        texture.Load(file, c.mipmaps, false, GL_CLAMP_TO_EDGE, GL_REPEAT);
        EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), c.min);
        EXPECT_EQ(TexParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
        EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
        EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
        EXPECT_EQ(LevelParameter(1, GL_TEXTURE_WIDTH), c.levelOneWidth);
        // In use, a setter acts on the texture at once.
        texture.SetMagFilter(GL_NEAREST);
        EXPECT_EQ(TexParameter(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    }
    glDeleteTextures(1, &other);
}

TEST_F(TextureGLTest, DestroyGivesTheNameBack)
{
    const QString file = Save("destroy.png", SDL_PIXELFORMAT_ABGR8888);
    // Kept pixels go together with the size they describe.
    struct Case { bool keepPixels; unsigned width; unsigned height; bool alpha; };
    const Case cases[] = {{false, PictureWidth, PictureHeight, true}, {true, 0, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keepPixels);
        GLuint reloaded = 0;
        {
            Texture texture;
            texture.Load(file, false, c.keepPixels, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
            const GLuint handle = texture.mHandle;
            EXPECT_EQ(texture.mPixels.empty(), !c.keepPixels);
            texture.Destroy();
            EXPECT_EQ(glIsTexture(handle), GL_FALSE);
            EXPECT_FALSE(texture.mTextureInUse);
            EXPECT_EQ(texture.GetWidth(), c.width);
            EXPECT_EQ(texture.GetHeight(), c.height);
            EXPECT_EQ(texture.mHasAlpha, c.alpha);
            EXPECT_TRUE(texture.mPixels.empty());
            // A reload after Destroy works; the destructor gives that name back.
            EXPECT_TRUE(texture.Load(file, false, false, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE));
            reloaded = texture.mHandle;
        }
        EXPECT_EQ(glIsTexture(reloaded), GL_FALSE);
    }
}

TEST_F(TextureGLTest, InUseStateIsChecked)
{
    const QString file = Save("first.png", SDL_PIXELFORMAT_RGB24);
    Texture texture;
    const auto unusedBind = Capture([&] { texture.Bind(); });
    ASSERT_TRUE(unusedBind.Threw());
    EXPECT_EQ(unusedBind.ErrLines().at(0), "FATAL ERROR: Assertion (mTextureInUse == true) failed!");
    EXPECT_EQ(unusedBind.ErrLines().at(2), "  in \"lib/Vexel/src/Texture.cpp\"");

    texture.Load(file, false, false, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    const GLuint handle = texture.mHandle;
    const auto reload = Capture([&] { texture.Load(file, false, false, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE); });
    ASSERT_TRUE(reload.Threw());
    EXPECT_EQ(reload.ErrLines().at(0), "FATAL ERROR: Assertion (mTextureInUse == false) failed!");
    EXPECT_EQ(reload.ErrLines().at(2), "  in \"lib/Vexel/src/Texture.cpp\"");
    EXPECT_EQ(texture.mHandle, handle);
    EXPECT_EQ(glIsTexture(handle), GL_TRUE);

    // Decoding comes first: a missing file fails as missing even then.
    const QString missing = mDir.filePath("missing.png");
    EXPECT_EQ(Capture([&] { texture.Load(missing, false, false, GL_REPEAT, GL_REPEAT); }).What(),
              "Cannot load image!");
}

TEST_F(TextureGLTest, PendingGlErrorIsReportedWithTheFileName)
{
    const QString file = Save("pending.png", SDL_PIXELFORMAT_RGB24);
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
