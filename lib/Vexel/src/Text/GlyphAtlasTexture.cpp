#include "Text/GlyphAtlasTexture.h"

#include "CheckGlError.h"
#include "Text/FontFace.h"

#include <SDL.h>

#include <QString>

#include <cmath>
#include <map>
#include <tuple>

namespace {

// Mipmap levels below the atlas: enough for text drawn at a quarter of its
// size, and no more than the padding between glyphs keeps apart.
constexpr int MipmapLevels = 2;

using Key = std::tuple<void*, QString, int, long>;

std::map<Key, std::weak_ptr<GlyphAtlasTexture>>& Entries()
{
    static std::map<Key, std::weak_ptr<GlyphAtlasTexture>> entries;
    return entries;
}

} // namespace

std::shared_ptr<GlyphAtlasTexture> GlyphAtlasTexture::Acquire(const std::shared_ptr<FontFace>& face, int pixelSize,
                                                              float outlineRadius)
{
    auto& entries = Entries();
    for (auto it = entries.begin(); it != entries.end();) {
        it = it->second.expired() ? entries.erase(it) : std::next(it);
    }
    const Key key(SDL_GL_GetCurrentContext(), face->Key(), pixelSize, std::lround(outlineRadius * 64.0f));
    if (std::shared_ptr<GlyphAtlasTexture> shared = entries[key].lock()) {
        return shared;
    }
    face->SetPixelSize(pixelSize);
    auto atlas = std::make_shared<GlyphAtlasTexture>(face, outlineRadius);
    entries[key] = atlas;
    return atlas;
}

std::size_t GlyphAtlasTexture::TotalBytes()
{
    std::size_t bytes = 0;
    for (const auto& entry : Entries()) {
        if (const std::shared_ptr<GlyphAtlasTexture> atlas = entry.second.lock()) {
            bytes += atlas->Bytes();
        }
    }
    return bytes;
}

GlyphAtlasTexture::GlyphAtlasTexture(const std::shared_ptr<FontFace>& face, float outlineRadius)
    : mAtlas(face, outlineRadius)
{
}

GlyphAtlasTexture::~GlyphAtlasTexture()
{
    if (mHandle == 0) {
        return;
    }
    glDeleteTextures(1, &mHandle);
}

void GlyphAtlasTexture::Ensure(const std::vector<unsigned>& glyphs)
{
    if (mAtlas.Add(glyphs) || mHandle == 0) {
        Upload();
    }
}

void GlyphAtlasTexture::Bind() const
{
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, mHandle);
}

std::size_t GlyphAtlasTexture::Bytes() const
{
    // A full mipmap chain adds a third at most.
    const std::size_t level = mAtlas.Pixels().size();
    return level + level / 3 + level;
}

void GlyphAtlasTexture::Upload()
{
    if (mHandle == 0) {
        glGenTextures(1, &mHandle);
    }
    glBindTexture(GL_TEXTURE_2D, mHandle);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // An atlas with no ink yet is still a valid texture of one empty pixel.
    const std::uint8_t empty = 0;
    const bool inked = mAtlas.Height() > 0;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, inked ? mAtlas.Width() : 1, inked ? mAtlas.Height() : 1, 0, GL_RED,
                 GL_UNSIGNED_BYTE, inked ? mAtlas.Pixels().data() : &empty);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, MipmapLevels);
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    CHECK_GL_ERROR("", "glyph atlas");
}
