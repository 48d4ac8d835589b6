#pragma once

#include "CaptureOptions.h"

#include <cstddef>

// How one captured frame lies in memory, as the GPU reads it back and the
// writer hands it to the encoder: rows top first, planes one after another.
// YUV frames hold the luma plane, then the chroma rows, each a row of U
// followed by the same row of V; packed pictures hold one plane.
class FrameLayout
{
public:
    enum Pixels
    {
        // 8-bit 4:2:0, BT.709 limited range (H.264, VP9).
        Yuv420,
        // 10-bit 4:2:2 in 16-bit little-endian samples (ProRes).
        Yuv422Ten,
        // 8-bit RGB (PNG).
        Rgb,
        // 8-bit B, G, R, A (GIF's palette filters).
        Bgra,
    };

    FrameLayout(Pixels pixels, int width, int height);
    // What the encoders of that kind of output take.
    static Pixels For(CaptureOutputKind kind);

    Pixels GetPixels() const { return mPixels; }
    int GetWidth() const { return mWidth; }
    int GetHeight() const { return mHeight; }
    bool IsYuv() const { return mPixels == Yuv420 || mPixels == Yuv422Ten; }
    // Bytes per sample (YUV) or per pixel (packed).
    int SampleBytes() const;
    // The luma plane or the packed picture.
    int LumaRowBytes() const { return mWidth * SampleBytes(); }
    std::size_t LumaBytes() const { return static_cast<std::size_t>(LumaRowBytes()) * mHeight; }
    // One chroma row: U then V, each half the width. None for packed pictures.
    int ChromaRows() const;
    int ChromaRowBytes() const { return IsYuv() ? LumaRowBytes() : 0; }
    std::size_t ChromaBytes() const { return static_cast<std::size_t>(ChromaRowBytes()) * ChromaRows(); }
    std::size_t FrameBytes() const { return LumaBytes() + ChromaBytes(); }

private:
    Pixels mPixels;
    int mWidth;
    int mHeight;
};
