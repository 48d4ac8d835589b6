#pragma once

#include "Text/GlyphAtlas.h"

#include <GL/glew.h>

#include <cstddef>
#include <memory>
#include <vector>

class FontFace;

// A glyph atlas in a GL texture, one per font, size and outline in each GL
// context, shared by every part that draws with them; it goes when its last
// user does. Glyphs are rendered and the texture uploaded only when a part
// brings glyphs that are not in yet.
class GlyphAtlasTexture
{
public:
    // The atlas for the face's font at pixelSize with outlines of the radius
    // (0: none). A new atlas takes the face and sets it to that size; an
    // existing one keeps its own.
    static std::shared_ptr<GlyphAtlasTexture> Acquire(const std::shared_ptr<FontFace>& face, int pixelSize,
                                                      float outlineRadius);
    // Bytes of every atlas alive, in GL and in memory.
    static std::size_t TotalBytes();

    explicit GlyphAtlasTexture(const std::shared_ptr<FontFace>& face, float outlineRadius);
    ~GlyphAtlasTexture();

    GlyphAtlasTexture(const GlyphAtlasTexture&) = delete;
    GlyphAtlasTexture& operator=(const GlyphAtlasTexture&) = delete;

    // Adds the glyphs not in yet and uploads the texture when any were new.
    void Ensure(const std::vector<unsigned>& glyphs);
    // On texture unit 0.
    void Bind() const;
    const GlyphAtlas& Atlas() const { return mAtlas; }
    // The texture's bytes with its mipmaps, and the bitmap kept for new glyphs.
    std::size_t Bytes() const;

private:
    void Upload();

    GlyphAtlas mAtlas;
    GLuint mHandle = 0;
};
