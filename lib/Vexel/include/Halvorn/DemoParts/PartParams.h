#pragma once

#include <boost/assert.hpp>
#include <glm/vec4.hpp>

#include <QString>

// Reading the text of a part's parameters, shared by the concrete parts. The
// failures are left to the caller, so each part's assertion reports its own
// constructor.
namespace PartParams {

// The key that sends any part's drawing into a buffer; every class knows it.
inline constexpr const char* TargetKey = "target";

enum class ColorChannel
{
    None = 0,
    Red,
    Green,
    Blue
};

// Reads "r g b" as three ints; each keeps its low 8 bits, so 256 becomes 0 and
// -1 becomes 255. On success color becomes (r, g, b, 255) on the 0-255 scale
// and None is returned; otherwise the first channel that could not be read is
// returned and color is left alone. Text after the third number is ignored.
ColorChannel ReadColor(const QString& value, glm::vec4& color);

// QString::toFloat: text that is not a number gives 0. So does a value that
// is not finite ("nan", "inf", or too large for a float), which would make a
// picture vanish; that one is reported as "Warning: Value (\"<value>\") for
// key \"<key>\" is not a finite number; 0 is used." on standard error.
float ReadFloat(const QString& key, const QString& value);

// One of lib.Image's alignment words ("left", "hcenter", "right", "top",
// "vcenter", "bottom"): whether it sets the horizontal side, and the value it
// sets (1 left or top, 2 centred, 3 right or bottom, as the parts' Alignment).
// False for any other word.
bool ReadAlignWord(const QString& word, bool& horizontal, int& value);

// "Unknown key \"<key>\"!" on standard error without a line end: consecutive
// reports run together on one line.
void ReportUnknownKey(const QString& key);

} // namespace PartParams

// Reads "r g b" into color; a channel that cannot be read fails its check with
// the message given for it. A macro so that the report names the caller's
// file, line and function, and shows the message as the caller wrote it.
#define VEXEL_READ_COLOR(value, color, redMessage, greenMessage, blueMessage) \
    do {                                                                      \
        switch (::PartParams::ReadColor((value), (color))) {                  \
        case ::PartParams::ColorChannel::Red:                                 \
            BOOST_ASSERT(0 != 0 && redMessage);                               \
            break;                                                            \
        case ::PartParams::ColorChannel::Green:                               \
            BOOST_ASSERT(0 != 0 && greenMessage);                             \
            break;                                                            \
        case ::PartParams::ColorChannel::Blue:                                \
            BOOST_ASSERT(0 != 0 && blueMessage);                              \
            break;                                                            \
        case ::PartParams::ColorChannel::None:                                \
            break;                                                            \
        }                                                                     \
    } while (false)

// The "color" parameter of the concrete parts.
#define VEXEL_READ_COLOR_PARAM(value, color)                                                                      \
    VEXEL_READ_COLOR(value, color,                                                                                \
                     "=> color-attribute has unknown red value n <Halvorn-demo-settings>::<demoparts>::<part>::<param>! Must be in the form 'r g b' where values are 0-255.", \
                     "=> color-attribute has unknown green value n <Halvorn-demo-settings>::<demoparts>::<part>::<param>! Must be in the form 'r g b' where values are 0-255.", \
                     "=> color-attribute has unknown blue value n <Halvorn-demo-settings>::<demoparts>::<part>::<param>! Must be in the form 'r g b' where values are 0-255.")
