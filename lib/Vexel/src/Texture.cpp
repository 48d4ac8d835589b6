#include "Texture.h"

#include "AssertException.h"
#include "CheckGlError.h"
#include "PictureRowReader.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

struct SurfaceDeleter
{
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

struct UploadFormat
{
    GLint internalFormat;
    GLenum pixelFormat;
};

// Red in the lowest byte is RGB(A) byte order; red in the third byte with blue
// in the lowest is BGR(A). Any other channel layout is converted first, as
// sending it as BGR(A) would swap or shift its channels.
bool ChooseFormat(SDL_Surface* surface, UploadFormat& format)
{
    const SDL_PixelFormat* pf = surface->format;
    const bool hasAlpha = pf->BytesPerPixel == 4;
    if (pf->Rmask == 0x000000FFu) {
        format = {hasAlpha ? GL_RGBA : GL_RGB, static_cast<GLenum>(hasAlpha ? GL_RGBA : GL_RGB)};
        return true;
    }
    if (pf->Rmask == 0x00FF0000u && pf->Bmask == 0x000000FFu) {
        format = {hasAlpha ? GL_RGBA : GL_RGB, static_cast<GLenum>(hasAlpha ? GL_BGRA : GL_BGR)};
        return true;
    }
    return false;
}

// Rows decoded and sent to GL at a time when a picture is streamed.
const std::size_t StreamBandBytes = std::size_t(4) << 20;

bool IsStreamed(const PictureRowReader& reader)
{
    return reader.IsOpen() && std::size_t(reader.GetWidth()) * reader.GetHeight() * reader.GetBytesPerPixel() >=
                                  Texture::StreamedPictureBytes;
}

// Rows padded to 4 bytes, as SDL lays out a surface.
bool TooLargeToDecode(const PictureRowReader& header)
{
    const std::size_t pitch = std::size_t(header.GetHeaderWidth()) * header.GetDecodedBytesPerPixel() + 3;
    return std::size_t(header.GetHeaderHeight()) * pitch > Texture::MaxWholePictureBytes;
}

Texture::Decoded FromHeader(const PictureRowReader& header, Texture::Decoded::Status status)
{
    Texture::Decoded picture;
    picture.mStatus = status;
    picture.mWidth = header.GetHeaderWidth();
    picture.mHeight = header.GetHeaderHeight();
    picture.mBitsPerPixel = static_cast<int>(header.GetDecodedBytesPerPixel() * 8);
    return picture;
}

} // namespace

Texture::Texture()
    : mTextureInUse(false)
    , mHandle(0)
    , mWidth(0)
    , mHeight(0)
    , mHasAlpha(false)
    , mMipmaps(false)
    , mKeepPixels(false)
    , mMinFilter(GL_NEAREST)
    , mMagFilter(GL_NEAREST)
    , mWrapS(GL_REPEAT)
    , mWrapT(GL_REPEAT)
{
}

Texture::~Texture()
{
    Destroy();
}

Texture::Decoded Texture::Decode(const QString& fileName)
{
    {
        const PictureRowReader reader(fileName);
        if (IsStreamed(reader)) {
            return FromHeader(reader, Decoded::Streamed);
        }
    }
    return DecodeWhole(fileName);
}

Texture::Decoded Texture::Inspect(const QString& fileName)
{
    Decoded picture = Decode(fileName);
    picture.mSurface.reset();
    if (picture.mStatus != Decoded::Streamed) {
        return picture;
    }
    PictureRowReader reader(fileName);
    const std::size_t rowBytes = std::size_t(reader.GetWidth()) * reader.GetBytesPerPixel();
    const unsigned bandRows = static_cast<unsigned>(std::clamp<std::size_t>(
        StreamBandBytes / std::max<std::size_t>(rowBytes, 1), 1, std::max(reader.GetHeight(), 1u)));
    std::vector<unsigned char> band(rowBytes * bandRows);
    bool complete = reader.IsOpen();
    for (unsigned row = 0; row < reader.GetHeight() && complete; row += bandRows) {
        complete = reader.ReadRows(band.data(), std::min(bandRows, reader.GetHeight() - row));
    }
    if (complete) {
        return picture;
    }
    // As an upload does: a file that fails by rows is decoded whole.
    picture = DecodeWhole(fileName);
    picture.mSurface.reset();
    return picture;
}

Texture::Decoded Texture::DecodeWhole(const QString& fileName)
{
    {
        const PictureRowReader header(fileName);
        if (TooLargeToDecode(header)) {
            return FromHeader(header, Decoded::TooLarge);
        }
    }
    Decoded picture;
    SurfacePtr surface(IMG_Load(fileName.toLocal8Bit().constData()));
    if (!surface) {
        picture.mError = SDL_GetError();
        return picture;
    }
    const int bytesPerPixel = surface->format->BytesPerPixel;
    picture.mWidth = static_cast<unsigned>(surface->w);
    picture.mHeight = static_cast<unsigned>(surface->h);
    picture.mBitsPerPixel = surface->format->BitsPerPixel;
    if (bytesPerPixel != 3 && bytesPerPixel != 4) {
        picture.mStatus = Decoded::NotTrueColor;
        return picture;
    }
    UploadFormat format{};
    if (!ChooseFormat(surface.get(), format)) {
        const Uint32 target = bytesPerPixel == 4 ? SDL_PIXELFORMAT_ABGR8888 : SDL_PIXELFORMAT_RGB24;
        SurfacePtr converted(SDL_ConvertSurfaceFormat(surface.get(), target, 0));
        if (!converted) {
            picture.mStatus = Decoded::NotConverted;
            picture.mError = SDL_GetError();
            return picture;
        }
        surface = std::move(converted);
    }
    picture.mStatus = Decoded::Ok;
    picture.mSurface = std::shared_ptr<SDL_Surface>(surface.release(), SurfaceDeleter());
    return picture;
}

bool Texture::Load(const QString& fileName, bool mipmaps, bool keepPixels, int wrapS, int wrapT)
{
    // A kept copy holds the whole picture anyway.
    const Decoded picture = keepPixels ? DecodeWhole(fileName) : Decode(fileName);
    ThrowIfNotDecoded(fileName, picture);
    CHECK_GL_ERROR("", fileName.toStdString());
    return picture.mStatus == Decoded::Streamed ? UploadRows(fileName, mipmaps, wrapS, wrapT)
                                                : UploadDecoded(fileName, picture, mipmaps, keepPixels, wrapS, wrapT);
}

bool Texture::Upload(const QString& fileName, const Decoded& picture, bool mipmaps, bool keepPixels, int wrapS,
                     int wrapT)
{
    if (picture.mStatus == Decoded::Streamed && keepPixels) {
        return Load(fileName, mipmaps, keepPixels, wrapS, wrapT);
    }
    ThrowIfNotDecoded(fileName, picture);
    CHECK_GL_ERROR("", fileName.toStdString());
    return picture.mStatus == Decoded::Streamed ? UploadRows(fileName, mipmaps, wrapS, wrapT)
                                                : UploadDecoded(fileName, picture, mipmaps, keepPixels, wrapS, wrapT);
}

bool Texture::UploadWhole(const QString& fileName, bool mipmaps, int wrapS, int wrapT)
{
    const Decoded picture = DecodeWhole(fileName);
    ThrowIfNotDecoded(fileName, picture);
    return UploadDecoded(fileName, picture, mipmaps, false, wrapS, wrapT);
}

// The texture is made empty and filled a band of rows at a time as they are
// decoded, so the picture is never held whole beside the texture.
bool Texture::UploadRows(const QString& fileName, bool mipmaps, int wrapS, int wrapT)
{
    PictureRowReader reader(fileName);
    if (!reader.IsOpen()) {
        // Changed on disk since it was looked at: take it as it is now.
        return UploadWhole(fileName, mipmaps, wrapS, wrapT);
    }
    const unsigned width = reader.GetWidth();
    const unsigned height = reader.GetHeight();
    const bool hasAlpha = reader.GetBytesPerPixel() == 4;
    const GLenum pixelFormat = hasAlpha ? GL_RGBA : GL_RGB;

    ReserveFor(fileName, width, height, hasAlpha, mipmaps, false, wrapS, wrapT);
    Bind();

    const std::size_t rowBytes = std::size_t(width) * reader.GetBytesPerPixel();
    const unsigned bandRows = static_cast<unsigned>(std::clamp<std::size_t>(StreamBandBytes / rowBytes, 1, height));
    std::vector<unsigned char> band(rowBytes * bandRows);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    CHECK_GL_ERROR("", mFileName.toStdString());
    glTexImage2D(GL_TEXTURE_2D, 0, pixelFormat, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0,
                 pixelFormat, GL_UNSIGNED_BYTE, nullptr);
    CHECK_GL_ERROR("", mFileName.toStdString());
    // A texture GL could not make stays empty, as after a whole upload; its
    // one error is reported, not another for every band.
    GLint madeWidth = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &madeWidth);
    bool complete = true;
    for (unsigned row = 0; row < height && complete && madeWidth > 0; row += bandRows) {
        const unsigned count = std::min(bandRows, height - row);
        complete = reader.ReadRows(band.data(), count);
        if (complete) {
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, static_cast<GLint>(row), static_cast<GLsizei>(width),
                            static_cast<GLsizei>(count), pixelFormat, GL_UNSIGNED_BYTE, band.data());
            CHECK_GL_ERROR("", mFileName.toStdString());
        }
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    CHECK_GL_ERROR("", mFileName.toStdString());
    if (!complete) {
        // A damaged file fails, or is read as far as it goes, exactly as when
        // it is decoded whole.
        Destroy();
        mWidth = 0;
        mHeight = 0;
        mHasAlpha = false;
        return UploadWhole(fileName, mipmaps, wrapS, wrapT);
    }
    if (mipmaps) {
        glGenerateMipmap(GL_TEXTURE_2D);
        CHECK_GL_ERROR("", mFileName.toStdString());
    }
    return true;
}

void Texture::ThrowIfNotDecoded(const QString& fileName, const Decoded& picture)
{
    mFileName = fileName;
    switch (picture.mStatus) {
    case Decoded::NotLoaded:
        std::cerr << "SDL could not load " << fileName.toStdString() << ": " << picture.mError << std::endl;
        throw std::runtime_error("Cannot load image!");
    case Decoded::NotTrueColor:
        std::cout << "warning: the image is not truecolor..  this will probably break" << std::endl;
        throw std::runtime_error("Texture::Load(): Image was not truecolor! " + fileName.toStdString());
    case Decoded::NotConverted:
        std::cerr << "SDL could not convert " << fileName.toStdString() << ": " << picture.mError << std::endl;
        throw std::runtime_error("Cannot load image!");
    case Decoded::TooLarge:
        std::cerr << "Texture::Load(): " << fileName.toStdString() << " is " << picture.mWidth << "x" << picture.mHeight
                  << " pixels, too large to decode (more than 2 GiB)" << std::endl;
        throw std::runtime_error("Cannot load image!");
    case Decoded::Ok:
    case Decoded::Streamed:
        break;
    }
}

void Texture::ReserveFor(const QString& fileName, unsigned width, unsigned height, bool hasAlpha, bool mipmaps,
                         bool keepPixels, int wrapS, int wrapT)
{
    // GL refuses larger pictures with GL_INVALID_VALUE and then samples nothing.
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (maxSize > 0 && (width > static_cast<unsigned>(maxSize) || height > static_cast<unsigned>(maxSize))) {
        std::cerr << "Texture::Load(): " << fileName.toStdString() << " is " << width << "x" << height
                  << " pixels, more than the largest texture this GL takes (" << maxSize << "x" << maxSize << ")"
                  << std::endl;
        throw std::runtime_error("Cannot load image!");
    }

    mKeepPixels = keepPixels;
    mMipmaps = mipmaps;
    mWrapS = wrapS;
    mWrapT = wrapT;
    if (mipmaps) {
        mMinFilter = GL_NEAREST_MIPMAP_NEAREST;
    }
    SetupAndReserveTextureHandle(width, height, hasAlpha, mipmaps, wrapS, wrapT);
    CHECK_GL_ERROR("", mFileName.toStdString());
}

bool Texture::UploadDecoded(const QString& fileName, const Decoded& picture, bool mipmaps, bool keepPixels,
                            int wrapS, int wrapT)
{
    mFileName = fileName;
    SDL_Surface* surface = picture.mSurface.get();
    const int bytesPerPixel = surface->format->BytesPerPixel;
    UploadFormat format{};
    ChooseFormat(surface, format);

    const unsigned width = static_cast<unsigned>(surface->w);
    const unsigned height = static_cast<unsigned>(surface->h);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(bytesPerPixel);
    ReserveFor(fileName, width, height, bytesPerPixel == 4, mipmaps, keepPixels, wrapS, wrapT);
    const bool mustLock = SDL_MUSTLOCK(surface);
    if (mustLock) {
        SDL_LockSurface(surface);
    }
    const auto* source = static_cast<const unsigned char*>(surface->pixels);
    Bind();

    // Decoded rows may be padded to the surface's pitch: GL skips the padding
    // itself, so a big picture is never copied a second time to drop it.
    const std::size_t pitch = static_cast<std::size_t>(surface->pitch);
    GLint rowLength = 0;
    GLint alignment = 0;
    if (pitch % static_cast<std::size_t>(bytesPerPixel) == 0) {
        rowLength = static_cast<GLint>(pitch / static_cast<std::size_t>(bytesPerPixel));
        alignment = 1;
    } else {
        for (GLint candidate : {2, 4, 8}) {
            const std::size_t step = static_cast<std::size_t>(candidate);
            if (alignment == 0 && (rowBytes + step - 1) / step * step == pitch) {
                alignment = candidate;
            }
        }
    }
    std::vector<unsigned char> tightRows;
    const unsigned char* rows = source;
    if (alignment == 0) {
        // A pitch GL cannot step over: copy the rows without their padding.
        tightRows.resize(rowBytes * height);
        for (unsigned row = 0; row < height; ++row) {
            std::memcpy(tightRows.data() + row * rowBytes, source + row * pitch, rowBytes);
        }
        rows = tightRows.data();
        alignment = 1;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    CHECK_GL_ERROR("", mFileName.toStdString());
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    CHECK_GL_ERROR("", mFileName.toStdString());
    glTexImage2D(GL_TEXTURE_2D, 0, format.internalFormat, static_cast<GLsizei>(width),
                 static_cast<GLsizei>(height), 0, format.pixelFormat, GL_UNSIGNED_BYTE, rows);
    CHECK_GL_ERROR("", mFileName.toStdString());
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    CHECK_GL_ERROR("", mFileName.toStdString());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    CHECK_GL_ERROR("", mFileName.toStdString());
    if (mipmaps) {
        // A mipmapped filter samples nothing until every level exists.
        glGenerateMipmap(GL_TEXTURE_2D);
        CHECK_GL_ERROR("", mFileName.toStdString());
    }

    if (keepPixels) {
        // Kept rows have no padding, top row first.
        mPixels.resize(rowBytes * height);
        for (unsigned row = 0; row < height; ++row) {
            std::memcpy(mPixels.data() + row * rowBytes, source + static_cast<std::size_t>(row) * surface->pitch,
                        rowBytes);
        }
    }
    if (mustLock) {
        SDL_UnlockSurface(surface);
    }
    return true;
}

void Texture::SetupAndReserveTextureHandle(unsigned width, unsigned height, bool hasAlpha, bool mipmaps,
                                           int wrapS, int wrapT)
{
    BOOST_ASSERT(mTextureInUse == false);
    glActiveTexture(GL_TEXTURE0);
    CHECK_GL_ERROR("", mFileName.toStdString());
    glGenTextures(1, &mHandle);
    CHECK_GL_ERROR("", mFileName.toStdString());

    mWidth = width;
    mHeight = height;
    mHasAlpha = hasAlpha;
    mTextureInUse = true;
    mMipmaps = mipmaps;

    Bind();
    CHECK_GL_ERROR("", mFileName.toStdString());
    SetMinFilter(mMinFilter);
    CHECK_GL_ERROR("", mFileName.toStdString());
    SetMagFilter(mMagFilter);
    CHECK_GL_ERROR("", mFileName.toStdString());
    SetWrapStyle(wrapS, wrapT);
    CHECK_GL_ERROR("", mFileName.toStdString());
}

void Texture::Bind() const
{
    BOOST_ASSERT(mTextureInUse == true);
    glBindTexture(GL_TEXTURE_2D, mHandle);
    CHECK_GL_ERROR("", mFileName.toStdString());
}

void Texture::SetMinFilter(int filter)
{
    mMinFilter = filter;
    if (mTextureInUse) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        CHECK_GL_ERROR("", mFileName.toStdString());
    }
}

void Texture::SetMagFilter(int filter)
{
    mMagFilter = filter;
    if (mTextureInUse) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
        CHECK_GL_ERROR("", mFileName.toStdString());
    }
}

void Texture::SetWrapStyle(int wrapS, int wrapT)
{
    mWrapS = wrapS;
    mWrapT = wrapT;
    if (mTextureInUse) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapS);
        CHECK_GL_ERROR("", mFileName.toStdString());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapT);
        CHECK_GL_ERROR("", mFileName.toStdString());
    }
}

void Texture::Destroy()
{
    if (!mTextureInUse) {
        return;
    }
    glDeleteTextures(1, &mHandle);
    CHECK_GL_ERROR("", mFileName.toStdString());
    mHandle = 0;
    mTextureInUse = false;
    if (!mPixels.empty()) {
        mWidth = 0;
        mHeight = 0;
        mHasAlpha = false;
        mPixels.clear();
        mPixels.shrink_to_fit();
    }
}
