#include "Text/TextShaper.h"

#include "Text/FontFace.h"

#include <hb.h>
#include <unicode/ubidi.h>

#include <algorithm>
#include <utility>

namespace {

struct ScriptRun
{
    int start;
    int length;
    hb_script_t script;
};

bool TakesNeighboursScript(hb_script_t script)
{
    return script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN;
}

// Spaces, digits and marks belong to the script around them, so that a run
// is cut only where the letters change script.
std::vector<ScriptRun> ScriptRuns(const QString& line, int start, int length)
{
    std::vector<ScriptRun> runs;
    hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
    const int end = start + length;
    int i = start;
    while (i < end) {
        const int at = i;
        char32_t c = line.at(i).unicode();
        if (line.at(i).isHighSurrogate() && i + 1 < end && line.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(line.at(i), line.at(i + 1));
            ++i;
        }
        ++i;
        const hb_script_t script = hb_unicode_script(unicode, c);
        if (runs.empty()) {
            runs.push_back(ScriptRun{at, i - at, script});
        } else if (TakesNeighboursScript(script) || script == runs.back().script) {
            runs.back().length += i - at;
        } else if (TakesNeighboursScript(runs.back().script)) {
            runs.back().length += i - at;
            runs.back().script = script;
        } else {
            runs.push_back(ScriptRun{at, i - at, script});
        }
    }
    return runs;
}

} // namespace

TextShaper::TextShaper()
    : mBuffer(hb_buffer_create())
    , mBidi(ubidi_open())
{
}

TextShaper::~TextShaper()
{
    hb_buffer_destroy(mBuffer);
    ubidi_close(mBidi);
}

float TextShaper::Shape(const QString& line, const FontFace& face, std::vector<ShapedGlyph>& glyphs)
{
    glyphs.clear();
    float pen = 0.0f;
    if (line.isEmpty()) {
        return pen;
    }
    UErrorCode status = U_ZERO_ERROR;
    ubidi_setPara(mBidi, reinterpret_cast<const UChar*>(line.utf16()), line.size(), UBIDI_DEFAULT_LTR, nullptr,
                  &status);
    if (U_FAILURE(status)) {
        ShapeRun(line, 0, line.size(), false, face, glyphs, pen);
        return pen;
    }
    const int runs = ubidi_countRuns(mBidi, &status);
    for (int run = 0; run < runs && U_SUCCESS(status); ++run) {
        int32_t start = 0;
        int32_t length = 0;
        const bool rightToLeft = ubidi_getVisualRun(mBidi, run, &start, &length) == UBIDI_RTL;
        std::vector<ScriptRun> pieces = ScriptRuns(line, start, length);
        // A right-to-left run shows its last piece leftmost.
        if (rightToLeft) {
            std::reverse(pieces.begin(), pieces.end());
        }
        for (const ScriptRun& piece : pieces) {
            ShapeRun(line, piece.start, piece.length, rightToLeft, face, glyphs, pen);
        }
    }
    return pen;
}

void TextShaper::ShapeRun(const QString& line, int start, int length, bool rightToLeft, const FontFace& face,
                          std::vector<ShapedGlyph>& glyphs, float& pen)
{
    hb_buffer_clear_contents(mBuffer);
    // The whole line goes in as context, so letters join across the cut.
    hb_buffer_add_utf16(mBuffer, line.utf16(), line.size(), static_cast<unsigned>(start), length);
    hb_buffer_set_direction(mBuffer, rightToLeft ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_guess_segment_properties(mBuffer);
    hb_shape(face.ShapingFont(), mBuffer, nullptr, 0);

    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(mBuffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(mBuffer, &count);
    for (unsigned i = 0; i < count; ++i) {
        ShapedGlyph glyph;
        glyph.glyph = infos[i].codepoint;
        glyph.cluster = static_cast<int>(infos[i].cluster);
        glyph.x = pen + static_cast<float>(positions[i].x_offset) / 64.0f;
        glyph.y = static_cast<float>(positions[i].y_offset) / 64.0f;
        glyph.advance = static_cast<float>(positions[i].x_advance) / 64.0f;
        pen += glyph.advance;
        glyphs.push_back(glyph);
    }
}
