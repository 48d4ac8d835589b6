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
};
