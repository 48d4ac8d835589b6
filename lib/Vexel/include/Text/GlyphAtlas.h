#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class FontFace;

// The pictures of a font's glyphs at its current size, packed on shelves in
// one bitmap of coverage (one byte a pixel, top row first). With an outline
// radius each glyph also gets its outline: the glyph widened by the radius,
// drawn beneath it. Glyphs are rendered once, when first added. No GL.
class GlyphAtlas
{
public:
    struct Entry
    {
        // Where the picture lies in the bitmap, in pixels.
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        // From the pen position to the picture's left edge, and up to its top.
        int left = 0;
        int top = 0;
    };

    // outlineRadius in pixels at the face's size; 0 for no outlines.
    GlyphAtlas(std::shared_ptr<FontFace> face, float outlineRadius);

    // Renders the glyphs not in yet; true when the bitmap changed.
    bool Add(const std::vector<unsigned>& glyphs);
    // Null for a glyph not added; a glyph without ink has an empty entry.
    const Entry* Fill(unsigned glyph) const;
    const Entry* Outline(unsigned glyph) const;

    int Width() const { return mWidth; }
    int Height() const { return mHeight; }
    const std::vector<std::uint8_t>& Pixels() const { return mPixels; }
    const FontFace& Face() const { return *mFace; }
    std::shared_ptr<FontFace> SharedFace() const { return mFace; }
    float OutlineRadius() const { return mOutlineRadius; }

    // Empty pixels around each picture, so filtering and smaller mipmap
    // levels never reach a neighbour.
    static constexpr int Padding = 4;

private:
    struct Bitmap
    {
        std::vector<std::uint8_t> pixels;
        int width = 0;
        int height = 0;
        int left = 0;
        int top = 0;
    };

    bool Render(unsigned glyph, bool outline, Bitmap& bitmap);
    Entry Place(const Bitmap& bitmap);
    void Grow(int height);

    std::shared_ptr<FontFace> mFace;
    float mOutlineRadius;
    std::map<unsigned, Entry> mFills;
    std::map<unsigned, Entry> mOutlines;
    std::vector<std::uint8_t> mPixels;
    int mWidth = 0;
    int mHeight = 0;
    // The shelf being filled: its top, height and the next free x.
    int mShelfTop = 0;
    int mShelfHeight = 0;
    int mShelfX = 0;
};
