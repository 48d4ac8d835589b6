#pragma once

#include <GL/glew.h>

#include <QString>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct SDL_Surface;

// One GL 2-D texture on unit 0, made from a true-colour image file.
// Not in use after construction and Destroy; in use from Load until Destroy.
class Texture
{
public:
    Texture();
    ~Texture();

    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // A picture file decoded into true-colour rows, or why it could not be,
    // or a big picture left in its file to be streamed. Decoding touches no
    // GL, so it may run on any thread; the reports are written by Upload, on
    // the thread that loads.
    struct Decoded
    {
        enum Status
        {
            Ok,
            NotLoaded,
            NotTrueColor,
            NotConverted,
            // Too big to hold decoded: read from the file by rows at upload.
            Streamed,
            // Its header asks for more than a picture decoded whole may take.
            TooLarge
        };
        Status mStatus = NotLoaded;
        std::string mError;
        std::shared_ptr<SDL_Surface> mSurface;
        // As far as known: from the header when nothing was decoded.
        unsigned mWidth = 0;
        unsigned mHeight = 0;
        int mBitsPerPixel = 0;
    };
    static Decoded Decode(const QString& fileName);
    // Decodes the picture as Load would, streamed ones to their last row, and
    // keeps no pixels: the verdict Load will reach, without GL.
    static Decoded Inspect(const QString& fileName);

    // Pictures from this many decoded bytes on are streamed rather than
    // decoded whole, when their layout allows (see PictureRowReader).
    static constexpr std::size_t StreamedPictureBytes = std::size_t(32) << 20;
    // SDL_image addresses the rows of a picture it decodes with int
    // arithmetic: larger ones are refused from their header.
    static constexpr std::size_t MaxWholePictureBytes = 0x7FFFFFFF;

    // Returns true whenever it returns: undecodable and non-true-colour
    // images throw std::runtime_error.
    bool Load(const QString& fileName, bool mipmaps, bool keepPixels, int wrapS, int wrapT);
    // Load from a picture decoded before, with the same reports and failures.
    bool Upload(const QString& fileName, const Decoded& picture, bool mipmaps, bool keepPixels, int wrapS,
                int wrapT);
    void SetupAndReserveTextureHandle(unsigned width, unsigned height, bool hasAlpha, bool mipmaps, int wrapS,
                                      int wrapT);
    void Bind() const;

    // Before Load these only store the value; Load applies it. In use, they
    // act on the texture bound to GL_TEXTURE_2D, which Load makes this one.
    void SetMinFilter(int filter);
    void SetMagFilter(int filter);
    void SetWrapStyle(int wrapS, int wrapT);

    void Destroy();

    unsigned GetWidth() const { return mWidth; }
    unsigned GetHeight() const { return mHeight; }

    bool mTextureInUse;
    GLuint mHandle;
    unsigned mWidth;
    unsigned mHeight;
    bool mHasAlpha;
    // Rows without padding, top row first; empty unless kept.
    std::vector<unsigned char> mPixels;
    bool mMipmaps;
    bool mKeepPixels;
    GLint mMinFilter;
    GLint mMagFilter;
    GLint mWrapS;
    GLint mWrapT;
    QString mFileName;

private:
    static Decoded DecodeWhole(const QString& fileName);
    bool UploadWhole(const QString& fileName, bool mipmaps, int wrapS, int wrapT);
    bool UploadRows(const QString& fileName, bool mipmaps, int wrapS, int wrapT);
    void ThrowIfNotDecoded(const QString& fileName, const Decoded& picture);
    // Refuses a picture larger than GL takes, then makes the empty texture.
    void ReserveFor(const QString& fileName, unsigned width, unsigned height, bool hasAlpha, bool mipmaps,
                    bool keepPixels, int wrapS, int wrapT);
    bool UploadDecoded(const QString& fileName, const Decoded& picture, bool mipmaps, bool keepPixels, int wrapS,
                       int wrapT);
};
