#include "Text/TextLayout.h"
#include "Text/FontFace.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace {

std::shared_ptr<FontFace> Open(const QString& path = QString())
{
    std::string error;
    std::shared_ptr<FontFace> face = FontFace::Open(path, error);
    EXPECT_TRUE(face) << error;
    if (face) {
        face->SetPixelSize(32);
    }
    return face;
}

// The clusters of a one-line layout, left to right as the glyphs show.
std::vector<int> Clusters(const TextLayout& layout)
{
    std::vector<int> clusters;
    for (const TextLayout::Glyph& glyph : layout.mGlyphs) {
        clusters.push_back(glyph.letter);
    }
    return clusters;
}

unsigned CmapGlyph(const FontFace& face, char32_t c)
{
    return FT_Get_Char_Index(face.Face(), c);
}

} // namespace

TEST(TextLayoutTest, LinesShowTheirLettersInBidirectionalOrder)
{
    const std::shared_ptr<FontFace> face = Open();
    ASSERT_TRUE(face);
    // Letters as numbered in reading order, listed left to right on screen.
    const struct
    {
        const char* text;
        std::vector<int> letters;
    } cases[] = {
        {"abc", {0, 1, 2}},
        {"שלום", {3, 2, 1, 0}},
        // A Latin paragraph keeps its words in place and turns the Hebrew one.
        {"ab שלום cd", {0, 1, 2, 6, 5, 4, 3, 7, 8, 9}},
        // A Hebrew paragraph puts the Latin word leftmost, its letters as written.
        {"שלום abc", {5, 6, 7, 4, 3, 2, 1, 0}},
        // Digits in right-to-left text read left to right.
        {"שלום 12", {5, 6, 4, 3, 2, 1, 0}},
        // Brackets are mirrored, not moved: "(" closes the Hebrew word on screen.
        {"(שלום)", {5, 4, 3, 2, 1, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TextLayout layout;
        layout.Build(QString::fromUtf8(c.text), *face, 1.0f, TextLayout::LineAlign::Left);
        EXPECT_EQ(Clusters(layout), c.letters);
        for (size_t g = 1; g < layout.mGlyphs.size(); ++g) {
            EXPECT_GT(layout.mGlyphs[g].x, layout.mGlyphs[g - 1].x) << "glyph " << g;
        }
    }
    // Mirrored, the ")" written last shows as "(" on the left.
    TextLayout brackets;
    brackets.Build(QString::fromUtf8("(שלום)"), *face, 1.0f, TextLayout::LineAlign::Left);
    ASSERT_EQ(brackets.mGlyphs.size(), 6u);
    EXPECT_EQ(brackets.mGlyphs.front().glyph, CmapGlyph(*face, U'('));
    EXPECT_EQ(brackets.mGlyphs.back().glyph, CmapGlyph(*face, U')'));
}

TEST(TextLayoutTest, TheFontShapesJoiningLigaturesAndConjuncts)
{
    const std::shared_ptr<FontFace> dejaVu = Open();
    ASSERT_TRUE(dejaVu);

    // Arabic letters take their joined forms: seen joins the lam-alef
    // ligature, which stands for two letters; meem after alef stands alone.
    TextLayout arabic;
    arabic.Build(QString::fromUtf8("سلام"), *dejaVu, 1.0f, TextLayout::LineAlign::Left);
    ASSERT_EQ(arabic.mGlyphs.size(), 3u);
    EXPECT_EQ(Clusters(arabic), (std::vector<int>{3, 1, 0}));
    EXPECT_NE(arabic.mGlyphs[2].glyph, CmapGlyph(*dejaVu, U'س'));
    EXPECT_EQ(arabic.mGlyphs[0].glyph, CmapGlyph(*dejaVu, U'م'));
    for (const char32_t c : {U'ل', U'ا'}) {
        EXPECT_NE(arabic.mGlyphs[1].glyph, CmapGlyph(*dejaVu, c));
    }

    // Devanagari ka + virama + ssa is the one conjunct glyph of the font.
    const QString lohit = QStringLiteral("/usr/share/fonts/truetype/lohit-devanagari/Lohit-Devanagari.ttf");
    if (!QFileInfo(lohit).isFile()) {
        GTEST_SKIP() << "fonts-lohit-deva is not installed (scripts/install-deps.sh --test)";
    }
    const std::shared_ptr<FontFace> deva = Open(lohit);
    ASSERT_TRUE(deva);
    TextLayout conjunct;
    conjunct.Build(QString::fromUtf8("क्ष"), *deva, 1.0f, TextLayout::LineAlign::Left);
    ASSERT_EQ(conjunct.mGlyphs.size(), 1u);
    for (const char32_t c : {U'क', U'्', U'ष'}) {
        EXPECT_NE(conjunct.mGlyphs[0].glyph, CmapGlyph(*deva, c));
    }
    EXPECT_EQ(conjunct.mLetterCount, 1);
}

TEST(TextLayoutTest, LinesAreAlignedWithinTheWidestAndLettersCountAcrossThem)
{
    const std::shared_ptr<FontFace> face = Open();
    ASSERT_TRUE(face);
    const struct
    {
        TextLayout::LineAlign align;
        float room; // the short line's left edge, as a share of the room beside it
    } cases[] = {{TextLayout::LineAlign::Left, 0.0f},
                 {TextLayout::LineAlign::Center, 0.5f},
                 {TextLayout::LineAlign::Right, 1.0f}};
    for (const auto& c : cases) {
        TextLayout layout;
        layout.Build(QStringLiteral("wide line\nab"), *face, 1.5f, c.align);
        ASSERT_EQ(layout.mLines.size(), 2u);
        const TextLayout::Line& wide = layout.mLines[0];
        const TextLayout::Line& narrow = layout.mLines[1];
        EXPECT_EQ(layout.mWidth, wide.width);
        EXPECT_NEAR(narrow.left, (wide.width - narrow.width) * c.room, 0.5f);
        EXPECT_FLOAT_EQ(narrow.baseline - wide.baseline, face->LineHeight() * 1.5f);
        EXPECT_FLOAT_EQ(layout.mHeight, face->Ascender() - face->Descender() + face->LineHeight() * 1.5f);
        EXPECT_EQ(layout.mLetterCount, 11);
        EXPECT_EQ(layout.mGlyphs[static_cast<size_t>(narrow.first)].letter, 9);
    }
}
