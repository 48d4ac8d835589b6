#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

struct AVFilterGraph;
struct AVFilterContext;
struct AVFrame;

// One 256-colour palette for a whole clip, as a GIF takes it: the frames are
// kept in an unnamed file beside the output while their colours are counted,
// then each is mapped to the palette with dithering (FFmpeg's palettegen and
// paletteuse). Throws std::runtime_error with the reason on a failure.
class ClipPalette
{
public:
    // Frames of width x height BGRA pixels, top row first; folder holds the
    // kept frames (gone when this is).
    ClipPalette(int width, int height, int fps, const std::string& folder);
    ~ClipPalette();

    ClipPalette(const ClipPalette&) = delete;
    ClipPalette& operator=(const ClipPalette&) = delete;

    void Add(const std::uint8_t* bgra);
    // Makes the palette of the frames added and hands each frame, in order,
    // as a PAL8 frame with pts its number.
    void MapAll(const std::function<void(AVFrame*)>& take);

private:
    void Push(AVFilterContext* source, AVFrame* frame);
    AVFrame* WrapFrame(const std::uint8_t* bgra, long number);

    int mWidth;
    int mHeight;
    int mFps;
    std::FILE* mStore = nullptr;
    long mFrames = 0;
    AVFilterGraph* mCount = nullptr;
    AVFilterContext* mCountSource = nullptr;
    AVFilterContext* mCountSink = nullptr;
    AVFrame* mFrame = nullptr;
};
