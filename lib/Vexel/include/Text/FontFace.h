#pragma once

#include <QString>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

typedef struct FT_LibraryRec_* FT_Library;
typedef struct FT_FaceRec_* FT_Face;
typedef struct hb_font_t hb_font_t;

// One font file opened at one pixel size: FreeType for the glyphs and their
// pictures, HarfBuzz for shaping, both reading the same bytes. No GL, so the
// settings check uses it too.
class FontFace
{
public:
    // A font file, or the font built into the library when path is empty. On
    // failure returns null with the reason in error: "not found", "cannot be
    // read: REASON" or "is not a font: REASON".
    static std::shared_ptr<FontFace> Open(const QString& path, std::string& error);
    ~FontFace();

    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // Glyphs, metrics and shaping follow this size from here on.
    void SetPixelSize(int pixels);
    int PixelSize() const { return mPixelSize; }

    // Names the file as it is on disk (an edited file is another font), or
    // the built-in font.
    const QString& Key() const { return mKey; }
    // "DejaVu Sans", or the file's name when the font gives no family.
    std::string FamilyName() const;

    // In pixels at the current size; the descender is negative.
    float Ascender() const;
    float Descender() const;
    float LineHeight() const;

    // The characters of text the font has no glyph for, each once, in the
    // order they first appear; line breaks, controls and characters meant to
    // be invisible are never missing.
    std::vector<char32_t> MissingCharacters(const QString& text) const;
    // "font \"FAMILY\" has no glyph for \"CHARS\" (U+XXXX, U+YYYY): each shows as a box"
    std::string DescribeMissing(const std::vector<char32_t>& missing) const;

    FT_Face Face() const { return mFace; }
    hb_font_t* ShapingFont() const { return mShapingFont; }

    // What Key() is for the built-in font.
    static const char* const BuiltInKey;
    // The built-in font's file, byte for byte the one installed beside the programs.
    static std::string_view BuiltInFile();

private:
    FontFace() = default;

    FT_Library mLibrary = nullptr;
    FT_Face mFace = nullptr;
    hb_font_t* mShapingFont = nullptr;
    // The file's bytes, which FreeType reads from for as long as the face lives.
    std::vector<unsigned char> mBytes;
    QString mKey;
    QString mFileName;
    int mPixelSize = 0;
};
