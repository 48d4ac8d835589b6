#pragma once

#include <QString>

#include <cstdio>
#include <memory>

// Reads a picture file a band of rows at a time, top row first, so a big
// picture is never held whole. Only layouts that decode straight to 8-bit RGB
// or RGBA are taken: non-interlaced 8-bit RGB and RGBA PNG without a
// transparent colour, and three-channel JPEG. Anything else is left to the
// whole-picture decoder, which reports and converts it.
class PictureRowReader
{
public:
    // Opens the file and reads its header; IsOpen() tells whether it is
    // a picture this reader streams.
    explicit PictureRowReader(const QString& fileName);
    ~PictureRowReader();

    PictureRowReader(const PictureRowReader&) = delete;
    PictureRowReader& operator=(const PictureRowReader&) = delete;

    bool IsOpen() const { return mDecoder != nullptr; }
    // The size a PNG or JPEG header states, streamed or not: a picture can be
    // refused for its size before anything is decoded. 0 for other files.
    unsigned GetHeaderWidth() const { return mHeaderWidth; }
    unsigned GetHeaderHeight() const { return mHeaderHeight; }
    // The most bytes a pixel takes decoded whole: 3 for 8-bit RGB, else 4.
    unsigned GetDecodedBytesPerPixel() const { return mDecodedBytesPerPixel; }

    unsigned GetWidth() const { return mWidth; }
    unsigned GetHeight() const { return mHeight; }
    // 3 for RGB, 4 for RGBA.
    unsigned GetBytesPerPixel() const { return mBytesPerPixel; }

    // Decodes the next count rows, without padding, into rows. False once the
    // file turns out damaged or short; the reader is closed then.
    bool ReadRows(unsigned char* rows, unsigned count);

    class Decoder;

private:
    void Close();

    std::FILE* mFile = nullptr;
    std::unique_ptr<Decoder> mDecoder;
    unsigned mWidth = 0;
    unsigned mHeight = 0;
    unsigned mBytesPerPixel = 0;
    unsigned mRowsRead = 0;
    unsigned mHeaderWidth = 0;
    unsigned mHeaderHeight = 0;
    unsigned mDecodedBytesPerPixel = 0;
};
