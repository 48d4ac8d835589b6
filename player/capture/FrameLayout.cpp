#include "FrameLayout.h"

FrameLayout::FrameLayout(Pixels pixels, int width, int height)
    : mPixels(pixels)
    , mWidth(width)
    , mHeight(height)
{
}

FrameLayout::Pixels FrameLayout::For(CaptureOutputKind kind)
{
    switch (kind) {
    case CaptureOutputKind::QuickTime:
        return Yuv422Ten;
    case CaptureOutputKind::Gif:
        return Bgra;
    case CaptureOutputKind::PngSequence:
        return Rgb;
    default:
        return Yuv420;
    }
}

int FrameLayout::SampleBytes() const
{
    switch (mPixels) {
    case Yuv422Ten:
        return 2;
    case Rgb:
        return 3;
    case Bgra:
        return 4;
    default:
        return 1;
    }
}

int FrameLayout::ChromaRows() const
{
    switch (mPixels) {
    case Yuv420:
        return mHeight / 2;
    case Yuv422Ten:
        return mHeight;
    default:
        return 0;
    }
}
