#pragma once

#include <QString>

#include <vector>

class FontFace;
typedef struct hb_buffer_t hb_buffer_t;
struct UBiDi;

// One glyph of a shaped line, in pixels at the font's size.
struct ShapedGlyph
{
    unsigned glyph = 0;
    // The pen position from the line's start, x to the right and y up.
    float x = 0.0f;
    float y = 0.0f;
    float advance = 0.0f;
    // Where the glyph's characters start in the line, in UTF-16 units.
    int cluster = 0;
};

// Turns one line of text into glyphs as they show, left to right: runs of
// either direction in the order the Unicode bidirectional algorithm gives,
// each run cut where the script changes and shaped by HarfBuzz, so letters
// join, combine and take their kerning as the font says.
class TextShaper
{
public:
    TextShaper();
    ~TextShaper();

    TextShaper(const TextShaper&) = delete;
    TextShaper& operator=(const TextShaper&) = delete;

    // A line without line breaks; replaces glyphs and returns the line's width.
    float Shape(const QString& line, const FontFace& face, std::vector<ShapedGlyph>& glyphs);

private:
    void ShapeRun(const QString& line, int start, int length, bool rightToLeft, const FontFace& face,
                  std::vector<ShapedGlyph>& glyphs, float& pen);

    hb_buffer_t* mBuffer;
    UBiDi* mBidi;
};
