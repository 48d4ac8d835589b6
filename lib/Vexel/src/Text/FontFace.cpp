#include "Text/FontFace.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb-ft.h>
#include <hb.h>
#include <unicode/uchar.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QVector>

#include <algorithm>
#include <cstdio>

extern "C" const unsigned char VexelDefaultFontData[];
extern "C" const unsigned char VexelDefaultFontDataEnd[];

const char* const FontFace::BuiltInKey = ":built-in";

namespace {

// FreeType is built here without its error texts.
std::string FreeTypeReason(FT_Error code)
{
    switch (code) {
    case FT_Err_Unknown_File_Format:
        return "not a TrueType or OpenType file";
    case FT_Err_Invalid_File_Format:
    case FT_Err_Invalid_Table:
    case FT_Err_Invalid_Stream_Operation:
    case FT_Err_Invalid_Stream_Read:
    case FT_Err_Invalid_Stream_Seek:
        return "the file is damaged or cut short";
    case FT_Err_Out_Of_Memory:
        return "out of memory";
    default:
        return "FreeType error " + std::to_string(code);
    }
}

// 26.6 fixed point to pixels.
float Pixels(long value)
{
    return static_cast<float>(value) / 64.0f;
}

} // namespace

std::string_view FontFace::BuiltInFile()
{
    return std::string_view(reinterpret_cast<const char*>(VexelDefaultFontData),
                            static_cast<std::size_t>(VexelDefaultFontDataEnd - VexelDefaultFontData));
}

std::shared_ptr<FontFace> FontFace::Open(const QString& path, std::string& error)
{
    std::shared_ptr<FontFace> face(new FontFace());
    const unsigned char* bytes = VexelDefaultFontData;
    long size = static_cast<long>(VexelDefaultFontDataEnd - VexelDefaultFontData);
    face->mKey = QString::fromLatin1(BuiltInKey);
    if (!path.isEmpty()) {
        const QFileInfo info(path);
        if (!info.isFile()) {
            error = "not found";
            return nullptr;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            error = "cannot be read: " + file.errorString().toStdString();
            return nullptr;
        }
        const QByteArray read = file.readAll();
        face->mBytes.assign(read.begin(), read.end());
        bytes = face->mBytes.data();
        size = static_cast<long>(face->mBytes.size());
        face->mKey = info.absoluteFilePath() + QLatin1Char('|') +
                     QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char('|') +
                     QString::number(info.size());
        face->mFileName = info.fileName();
    }
    FT_Error status = FT_Init_FreeType(&face->mLibrary);
    if (status == 0) {
        status = FT_New_Memory_Face(face->mLibrary, bytes, size, 0, &face->mFace);
    }
    if (status != 0) {
        error = "is not a font: " + FreeTypeReason(status);
        return nullptr;
    }
    // Unhinted, so that glyphs keep their shape and advances when scaled.
    face->mShapingFont = hb_ft_font_create_referenced(face->mFace);
    hb_ft_font_set_load_flags(face->mShapingFont, FT_LOAD_NO_HINTING);
    face->SetPixelSize(32);
    return face;
}

FontFace::~FontFace()
{
    if (mShapingFont != nullptr) {
        hb_font_destroy(mShapingFont);
    }
    if (mFace != nullptr) {
        FT_Done_Face(mFace);
    }
    if (mLibrary != nullptr) {
        FT_Done_FreeType(mLibrary);
    }
}

void FontFace::SetPixelSize(int pixels)
{
    pixels = std::max(1, pixels);
    if (pixels == mPixelSize) {
        return;
    }
    mPixelSize = pixels;
    FT_Set_Pixel_Sizes(mFace, 0, static_cast<FT_UInt>(pixels));
    hb_ft_font_changed(mShapingFont);
}

std::string FontFace::FamilyName() const
{
    if (mFace->family_name != nullptr && mFace->family_name[0] != '\0') {
        return mFace->family_name;
    }
    return mFileName.toStdString();
}

float FontFace::Ascender() const
{
    return Pixels(mFace->size->metrics.ascender);
}

float FontFace::Descender() const
{
    return Pixels(mFace->size->metrics.descender);
}

float FontFace::LineHeight() const
{
    return Pixels(mFace->size->metrics.height);
}

std::vector<char32_t> FontFace::MissingCharacters(const QString& text) const
{
    std::vector<char32_t> missing;
    for (const uint code : text.toUcs4()) {
        const char32_t c = static_cast<char32_t>(code);
        // Shaping draws nothing for these, whatever the font holds.
        if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029 ||
            u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_DEFAULT_IGNORABLE_CODE_POINT)) {
            continue;
        }
        if (FT_Get_Char_Index(mFace, c) == 0 && std::find(missing.begin(), missing.end(), c) == missing.end()) {
            missing.push_back(c);
        }
    }
    return missing;
}

std::string FontFace::DescribeMissing(const std::vector<char32_t>& missing) const
{
    std::string characters;
    std::string codes;
    for (const char32_t c : missing) {
        characters += QString::fromUcs4(&c, 1).toStdString();
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
        codes += (codes.empty() ? "" : ", ") + std::string(code);
    }
    return "font \"" + FamilyName() + "\" has no glyph for \"" + characters + "\" (" + codes + "): each shows as a box";
}
