#include "Text/TextLayout.h"

#include "Text/FontFace.h"
#include "Text/TextShaper.h"

#include <QStringList>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

void TextLayout::Build(const QString& text, const FontFace& face, float lineSpacing, LineAlign align)
{
    mGlyphs.clear();
    mLines.clear();
    mWidth = 0.0f;
    mAscender = face.Ascender();
    mDescender = face.Descender();

    // The letter of every UTF-16 unit: graphemes counted, line breaks not.
    std::vector<int> letters(static_cast<size_t>(text.size()) + 1, 0);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    int letter = 0;
    int start = 0;
    for (int end = graphemes.toNextBoundary(); end > 0; end = graphemes.toNextBoundary()) {
        std::fill(letters.begin() + start, letters.begin() + end, letter);
        if (text.at(start) != QLatin1Char('\n')) {
            ++letter;
        }
        start = end;
    }
    mLetterCount = letter;

    TextShaper shaper;
    std::vector<ShapedGlyph> shaped;
    const QStringList lines = text.split(QLatin1Char('\n'));
    const float advance = face.LineHeight() * lineSpacing;
    int lineStart = 0;
    for (int i = 0; i < lines.size(); ++i) {
        Line line;
        line.first = static_cast<int>(mGlyphs.size());
        line.width = shaper.Shape(lines[i], face, shaped);
        line.baseline = mAscender + static_cast<float>(i) * advance;
        for (const ShapedGlyph& from : shaped) {
            Glyph glyph;
            glyph.glyph = from.glyph;
            glyph.x = from.x;
            glyph.y = line.baseline - from.y;
            glyph.advance = from.advance;
            glyph.letter = letters[static_cast<size_t>(lineStart + from.cluster)];
            mGlyphs.push_back(glyph);
        }
        line.count = static_cast<int>(mGlyphs.size()) - line.first;
        mWidth = std::max(mWidth, line.width);
        mLines.push_back(line);
        lineStart += lines[i].size() + 1;
    }
    mHeight = mAscender - mDescender + static_cast<float>(lines.size() - 1) * advance;

    // Whole pixels, so that glyphs drawn at their own size stay sharp.
    for (Line& line : mLines) {
        const float room = mWidth - line.width;
        line.left = align == LineAlign::Left ? 0.0f : std::round(align == LineAlign::Center ? room * 0.5f : room);
        for (int g = line.first; g < line.first + line.count; ++g) {
            mGlyphs[static_cast<size_t>(g)].x += line.left;
        }
    }
}
