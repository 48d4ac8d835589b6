#pragma once

#include <QString>

#include <vector>

class FontFace;

// A block of text laid out in lines, in pixels at the font's size: x to the
// right from the block's left edge, y down from its top.
class TextLayout
{
public:
    enum class LineAlign
    {
        Left,
        Center,
        Right
    };

    struct Glyph
    {
        unsigned glyph = 0;
        // The pen position: x, and y on (or off, for marks) the baseline.
        float x = 0.0f;
        float y = 0.0f;
        float advance = 0.0f;
        // Which letter (grapheme, counted over the whole text without its
        // line breaks) the glyph shows, for effects that go letter by letter.
        int letter = 0;
    };
    struct Line
    {
        // Its glyphs in mGlyphs, left to right.
        int first = 0;
        int count = 0;
        float baseline = 0.0f;
        float left = 0.0f;
        float width = 0.0f;
    };

    // Lines break at each '\n'. The baselines are lineSpacing times the
    // font's line height apart; the lines are aligned within the widest.
    void Build(const QString& text, const FontFace& face, float lineSpacing, LineAlign align);

    std::vector<Glyph> mGlyphs;
    std::vector<Line> mLines;
    float mWidth = 0.0f;
    // From the first line's ascender to the last one's descender.
    float mHeight = 0.0f;
    float mAscender = 0.0f;
    float mDescender = 0.0f;
    int mLetterCount = 0;
};
