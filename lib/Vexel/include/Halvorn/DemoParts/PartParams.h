#pragma once

#include <glm/vec4.hpp>

#include <QString>

// Reading the text of a part's parameters, shared by the concrete parts. The
// failures are left to the caller, so each part's assertion reports its own
// constructor.
namespace PartParams {

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

// "Unknown key \"<key>\"!" on standard error without a line end: consecutive
// reports run together on one line.
void ReportUnknownKey(const QString& key);

} // namespace PartParams
