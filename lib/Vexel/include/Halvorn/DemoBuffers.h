#pragma once

#include "DrawTarget.h"
#include "Halvorn/BufferSettings.h"
#include "TextureTarget.h"

#include <GL/glew.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class DemoModel;

// The pictures of a timeline's buffers, and the switching between them while
// the parts of a frame draw. A buffer is one picture, or two drawn in turn
// when a part reads the buffer it draws into: in the frames such a part runs,
// the parts draw into the picture not drawn the frame before while that one is
// read, so nothing is copied. Pictures follow the size of the area the frame
// is drawn into; they are made again only when that size changes, and a new
// timeline takes over the pictures of the last one that fit.
class DemoBuffers
{
public:
    DemoBuffers() = default;
    ~DemoBuffers() = default;

    DemoBuffers(const DemoBuffers&) = delete;
    DemoBuffers& operator=(const DemoBuffers&) = delete;

    // Before the model's running parts draw into screen: follows the model's
    // buffers and the screen's area, starts them empty for a new model and
    // after a seek, and clears those cleared every frame.
    void BeginFrame(const DemoModel& model, const DrawTarget& screen);
    // Binds a buffer for the next part (-1: the screen as the frame began,
    // with its viewport and scissor) and says so in target.
    void DrawInto(int buffer, DrawTarget& target);
    // The screen bound again, as the frame began.
    void EndFrame(DrawTarget& target);

    // The texture a part drawing into reader (-1: the screen) reads for
    // buffer: the picture of the frame before for the buffer it draws into,
    // otherwise what has been drawn into the buffer so far this frame. 0 for
    // a buffer that has none.
    GLuint Texture(int buffer, int reader) const;
    int Width(int buffer) const;
    int Height(int buffer) const;

    // A buffer as the overlay shows it: its latest picture.
    struct View
    {
        std::string name;
        GLuint texture;
        int width;
        int height;
        BufferSettings::Format format;
    };
    int Count() const { return static_cast<int>(mBuffers.size()); }
    View At(int buffer) const;
    // What the pictures take on the GPU.
    std::size_t Bytes() const;
    // How many pictures have been made: a reload or a resize that fits makes none.
    int PicturesMade() const { return mPicturesMade; }

private:
    struct Buffer
    {
        BufferSettings settings;
        std::unique_ptr<TextureTarget> pictures[2];
        // Some part reads it while it draws into it.
        bool pair = false;
        // A running part does so this frame, and did the frame before.
        bool flipping = false;
        bool flipped = false;
        // The newest picture; the one read as the frame before's; the one drawn.
        int latest = 0;
        int before = 0;
        int write = 0;
        bool drawn = false;
    };

    void Follow(const DemoModel& model);
    // Made at the size, keeping what the pictures showed.
    void Resize(Buffer& buffer, int width, int height);
    // What has been drawn into it so far this frame.
    static int Current(const Buffer& buffer);
    const Buffer* Find(int buffer) const;

    std::vector<Buffer> mBuffers;
    unsigned long long mTimeline = 0;
    unsigned int mSeeks = 0;
    double mTime = 0.0;
    bool mInFrame = false;
    int mBound = -1;
    DrawTarget mScreen;
    bool mScreenScissor = false;
    int mPicturesMade = 0;
};
