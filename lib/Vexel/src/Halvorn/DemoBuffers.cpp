#include "Halvorn/DemoBuffers.h"

#include "CheckGlError.h"
#include "Halvorn/DemoModel.h"

#include <algorithm>
#include <cmath>

namespace {

GLenum InternalFormat(BufferSettings::Format format)
{
    switch (format) {
    case BufferSettings::Format::Rgba16f:
        return GL_RGBA16F;
    case BufferSettings::Format::Rgba32f:
        return GL_RGBA32F;
    case BufferSettings::Format::Rgba8:
        break;
    }
    return GL_RGBA8;
}

bool ReadsItsTarget(const DemoPart& part)
{
    return part.mTarget >= 0 &&
           std::find(part.mReadBuffers.begin(), part.mReadBuffers.end(), part.mTarget) != part.mReadBuffers.end();
}

int Scaled(int side, float resolution)
{
    return std::max(1, static_cast<int>(std::lround(static_cast<float>(side) * resolution)));
}

} // namespace

void DemoBuffers::BeginFrame(const DemoModel& model, const DrawTarget& screen)
{
    bool restart = model.mSeeks != mSeeks;
    if (model.mTimeline != mTimeline) {
        Follow(model);
        restart = true;
    }
    // The same moment again (a paused player): the buffers that flip draw
    // the same pictures from the same ones as before, so they do not run on.
    const bool advanced = restart || model.mTime != mTime;
    mTimeline = model.mTimeline;
    mSeeks = model.mSeeks;
    mTime = model.mTime;
    mScreen = screen;
    mScreenScissor = glIsEnabled(GL_SCISSOR_TEST) == GL_TRUE;

    for (Buffer& buffer : mBuffers) {
        buffer.flipped = buffer.flipping;
        buffer.flipping = false;
    }
    for (const DemoPart& part : model.mCurrentParts) {
        if (ReadsItsTarget(part) && part.mTarget < Count()) {
            mBuffers[static_cast<std::size_t>(part.mTarget)].flipping = true;
        }
    }
    for (Buffer& buffer : mBuffers) {
        Resize(buffer, Scaled(screen.mArea.mWidth, buffer.settings.mResolution),
               Scaled(screen.mArea.mHeight, buffer.settings.mResolution));
        if (restart) {
            for (const std::unique_ptr<TextureTarget>& picture : buffer.pictures) {
                if (picture) {
                    picture->Clear();
                }
            }
            buffer.latest = 0;
        }
        if (!buffer.flipping) {
            buffer.before = buffer.write = buffer.latest;
        } else if (advanced || !buffer.flipped) {
            buffer.before = buffer.latest;
            buffer.write = 1 - buffer.latest;
        }
        if (buffer.settings.mClearEachFrame) {
            buffer.pictures[buffer.write]->Clear();
        }
        buffer.drawn = false;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, mScreen.mFramebuffer);
    mBound = -1;
    mInFrame = true;
    CHECK_GL_ERROR("", "buffers");
}

void DemoBuffers::DrawInto(int buffer, DrawTarget& target)
{
    if (!mInFrame || buffer == mBound) {
        return;
    }
    if (buffer < 0 || buffer >= Count()) {
        glBindFramebuffer(GL_FRAMEBUFFER, mScreen.mFramebuffer);
        const Rect<int>& area = mScreen.mArea;
        glViewport(area.mX, area.mY, area.mWidth, area.mHeight);
        if (mScreenScissor) {
            glScissor(area.mX, area.mY, area.mWidth, area.mHeight);
            glEnable(GL_SCISSOR_TEST);
        }
        target = mScreen;
        mBound = -1;
        return;
    }
    Buffer& drawn = mBuffers[static_cast<std::size_t>(buffer)];
    const TextureTarget& picture = *drawn.pictures[drawn.write];
    glBindFramebuffer(GL_FRAMEBUFFER, picture.Framebuffer());
    glViewport(0, 0, picture.Width(), picture.Height());
    glDisable(GL_SCISSOR_TEST);
    target.mFramebuffer = picture.Framebuffer();
    target.mArea = Rect<int>(0, 0, picture.Width(), picture.Height());
    target.mFormat = picture.InternalFormat();
    drawn.drawn = true;
    mBound = buffer;
}

void DemoBuffers::EndFrame(DrawTarget& target)
{
    DrawInto(-1, target);
    for (Buffer& buffer : mBuffers) {
        buffer.latest = Current(buffer);
    }
    mInFrame = false;
}

GLuint DemoBuffers::Texture(int buffer, int reader) const
{
    const Buffer* found = Find(buffer);
    if (found == nullptr) {
        return 0;
    }
    const int index = !mInFrame ? found->latest : reader == buffer && found->flipping ? found->before : Current(*found);
    const std::unique_ptr<TextureTarget>& picture = found->pictures[index];
    return picture ? picture->Texture() : 0;
}

int DemoBuffers::Width(int buffer) const
{
    const Buffer* found = Find(buffer);
    return found != nullptr && found->pictures[0] ? found->pictures[0]->Width() : 0;
}

int DemoBuffers::Height(int buffer) const
{
    const Buffer* found = Find(buffer);
    return found != nullptr && found->pictures[0] ? found->pictures[0]->Height() : 0;
}

DemoBuffers::View DemoBuffers::At(int buffer) const
{
    const Buffer& found = mBuffers.at(static_cast<std::size_t>(buffer));
    return View{found.settings.mName.toStdString(), Texture(buffer, -1), Width(buffer), Height(buffer),
                found.settings.mFormat};
}

std::size_t DemoBuffers::Bytes() const
{
    std::size_t bytes = 0;
    for (const Buffer& buffer : mBuffers) {
        for (const std::unique_ptr<TextureTarget>& picture : buffer.pictures) {
            if (picture) {
                bytes += static_cast<std::size_t>(picture->Width()) * static_cast<std::size_t>(picture->Height()) *
                         static_cast<std::size_t>(BufferSettings::PixelBytes(buffer.settings.mFormat));
            }
        }
    }
    return bytes;
}

void DemoBuffers::Follow(const DemoModel& model)
{
    std::vector<Buffer> previous = std::move(mBuffers);
    mBuffers.clear();
    for (const BufferSettings& settings : model.mBuffers) {
        Buffer buffer;
        buffer.settings = settings;
        // Pictures of the same format and resolution have the same size: the
        // same name's first, then any other's.
        const auto fits = [&settings](const Buffer& old) {
            return old.pictures[0] && old.settings.mFormat == settings.mFormat &&
                   old.settings.mResolution == settings.mResolution;
        };
        auto taken = std::find_if(previous.begin(), previous.end(),
                                  [&](const Buffer& old) { return fits(old) && old.settings.mName == settings.mName; });
        if (taken == previous.end()) {
            taken = std::find_if(previous.begin(), previous.end(), fits);
        }
        if (taken != previous.end()) {
            buffer.pictures[0] = std::move(taken->pictures[0]);
            buffer.pictures[1] = std::move(taken->pictures[1]);
        }
        mBuffers.push_back(std::move(buffer));
    }
    for (const boost::ptr_list<DemoPart>* parts : {&model.mPastParts, &model.mCurrentParts, &model.mFutureParts}) {
        for (const DemoPart& part : *parts) {
            if (ReadsItsTarget(part) && part.mTarget < Count()) {
                mBuffers[static_cast<std::size_t>(part.mTarget)].pair = true;
            }
        }
    }
    for (Buffer& buffer : mBuffers) {
        if (!buffer.pair) {
            buffer.pictures[1].reset();
        }
    }
}

void DemoBuffers::Resize(Buffer& buffer, int width, int height)
{
    const GLenum format = InternalFormat(buffer.settings.mFormat);
    for (int i = 0; i < (buffer.pair ? 2 : 1); ++i) {
        std::unique_ptr<TextureTarget>& picture = buffer.pictures[i];
        if (picture && picture->Width() == width && picture->Height() == height &&
            picture->InternalFormat() == format) {
            continue;
        }
        auto made = std::make_unique<TextureTarget>(width, height, format);
        ++mPicturesMade;
        if (picture) {
            // A window resized while a simulation runs keeps its pictures, scaled.
            const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
            glDisable(GL_SCISSOR_TEST);
            glBindFramebuffer(GL_READ_FRAMEBUFFER, picture->Framebuffer());
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, made->Framebuffer());
            glBlitFramebuffer(0, 0, picture->Width(), picture->Height(), 0, 0, width, height, GL_COLOR_BUFFER_BIT,
                              GL_LINEAR);
            if (scissor == GL_TRUE) {
                glEnable(GL_SCISSOR_TEST);
            }
        }
        picture = std::move(made);
    }
}

int DemoBuffers::Current(const Buffer& buffer)
{
    // A buffer that flips shows the frame before's picture until a part draws
    // into the other, unless it is cleared every frame.
    return buffer.flipping && !buffer.drawn && !buffer.settings.mClearEachFrame ? buffer.before : buffer.write;
}

const DemoBuffers::Buffer* DemoBuffers::Find(int buffer) const
{
    return buffer >= 0 && buffer < Count() ? &mBuffers[static_cast<std::size_t>(buffer)] : nullptr;
}
