#include "Text/GlyphAtlas.h"

#include "Text/FontFace.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_STROKER_H

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

int NextPowerOfTwo(int value)
{
    int power = 1;
    while (power < value) {
        power *= 2;
    }
    return power;
}

} // namespace

GlyphAtlas::GlyphAtlas(std::shared_ptr<FontFace> face, float outlineRadius)
    : mFace(std::move(face))
    , mOutlineRadius(std::max(0.0f, outlineRadius))
{
    // Wide enough for a line of big glyphs; shelves are added below.
    const int largest = 2 * (mFace->PixelSize() + static_cast<int>(mOutlineRadius) + Padding);
    mWidth = std::max(256, std::min(2048, NextPowerOfTwo(largest * 8)));
}

bool GlyphAtlas::Add(const std::vector<unsigned>& glyphs)
{
    bool changed = false;
    Bitmap bitmap;
    for (const unsigned glyph : glyphs) {
        if (mFills.count(glyph) != 0) {
            continue;
        }
        Render(glyph, false, bitmap);
        mFills[glyph] = Place(bitmap);
        if (mOutlineRadius > 0.0f) {
            Render(glyph, true, bitmap);
            mOutlines[glyph] = Place(bitmap);
        }
        changed = true;
    }
    return changed;
}

const GlyphAtlas::Entry* GlyphAtlas::Fill(unsigned glyph) const
{
    const auto found = mFills.find(glyph);
    return found == mFills.end() ? nullptr : &found->second;
}

const GlyphAtlas::Entry* GlyphAtlas::Outline(unsigned glyph) const
{
    const auto found = mOutlines.find(glyph);
    return found == mOutlines.end() ? nullptr : &found->second;
}

bool GlyphAtlas::Render(unsigned glyph, bool outline, Bitmap& bitmap)
{
    bitmap = Bitmap();
    FT_Face face = mFace->Face();
    if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) {
        return false;
    }
    FT_Glyph image = nullptr;
    if (FT_Get_Glyph(face->glyph, &image) != 0) {
        return false;
    }
    FT_Stroker stroker = nullptr;
    if (outline && image->format == FT_GLYPH_FORMAT_OUTLINE && FT_Stroker_New(face->glyph->library, &stroker) == 0) {
        FT_Stroker_Set(stroker, static_cast<FT_Fixed>(mOutlineRadius * 64.0f), FT_STROKER_LINECAP_ROUND,
                       FT_STROKER_LINEJOIN_ROUND, 0);
        // The outer border alone, filled: the glyph widened by the radius.
        FT_Glyph_StrokeBorder(&image, stroker, false, true);
        FT_Stroker_Done(stroker);
    }
    const bool rendered = FT_Glyph_To_Bitmap(&image, FT_RENDER_MODE_NORMAL, nullptr, true) == 0;
    if (rendered) {
        const FT_BitmapGlyph rendition = reinterpret_cast<FT_BitmapGlyph>(image);
        const FT_Bitmap& source = rendition->bitmap;
        bitmap.width = static_cast<int>(source.width);
        bitmap.height = static_cast<int>(source.rows);
        bitmap.left = rendition->left;
        bitmap.top = rendition->top;
        bitmap.pixels.resize(static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.height));
        for (int row = 0; row < bitmap.height; ++row) {
            std::memcpy(bitmap.pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(bitmap.width),
                        source.buffer + static_cast<std::ptrdiff_t>(row) * source.pitch,
                        static_cast<size_t>(bitmap.width));
        }
    }
    FT_Done_Glyph(image);
    return rendered;
}

GlyphAtlas::Entry GlyphAtlas::Place(const Bitmap& bitmap)
{
    Entry entry;
    entry.width = bitmap.width;
    entry.height = bitmap.height;
    entry.left = bitmap.left;
    entry.top = bitmap.top;
    if (bitmap.width == 0 || bitmap.height == 0) {
        return entry;
    }
    const int width = bitmap.width + 2 * Padding;
    const int height = bitmap.height + 2 * Padding;
    if (width > mWidth) {
        // A glyph wider than the atlas: start again wider, keeping what is there.
        const int oldWidth = mWidth;
        const std::vector<std::uint8_t> old = std::move(mPixels);
        mWidth = NextPowerOfTwo(width);
        mPixels.assign(static_cast<size_t>(mWidth) * static_cast<size_t>(mHeight), 0);
        for (int row = 0; row < mHeight; ++row) {
            std::memcpy(mPixels.data() + static_cast<size_t>(row) * static_cast<size_t>(mWidth),
                        old.data() + static_cast<size_t>(row) * static_cast<size_t>(oldWidth),
                        static_cast<size_t>(oldWidth));
        }
    }
    if (mShelfX + width > mWidth) {
        mShelfTop += mShelfHeight;
        mShelfHeight = 0;
        mShelfX = 0;
    }
    mShelfHeight = std::max(mShelfHeight, height);
    if (mShelfTop + mShelfHeight > mHeight) {
        Grow(NextPowerOfTwo(mShelfTop + mShelfHeight));
    }
    entry.x = mShelfX + Padding;
    entry.y = mShelfTop + Padding;
    for (int row = 0; row < bitmap.height; ++row) {
        std::memcpy(mPixels.data() + static_cast<size_t>(entry.y + row) * static_cast<size_t>(mWidth) +
                        static_cast<size_t>(entry.x),
                    bitmap.pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(bitmap.width),
                    static_cast<size_t>(bitmap.width));
    }
    mShelfX += width;
    return entry;
}

void GlyphAtlas::Grow(int height)
{
    mPixels.resize(static_cast<size_t>(mWidth) * static_cast<size_t>(height), 0);
    mHeight = height;
}
