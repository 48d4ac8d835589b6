#include "Halvorn/DemoParts/PartParams.h"

#include <cmath>
#include <iostream>
#include <sstream>
#include <string>

namespace PartParams {

ColorChannel ReadColor(const QString& value, glm::vec4& color)
{
    std::istringstream stream(value.toStdString());
    int red = 0;
    int green = 0;
    int blue = 0;
    if (!(stream >> red)) {
        return ColorChannel::Red;
    }
    if (!(stream >> green)) {
        return ColorChannel::Green;
    }
    if (!(stream >> blue)) {
        return ColorChannel::Blue;
    }
    color = glm::vec4(static_cast<unsigned char>(red), static_cast<unsigned char>(green),
                      static_cast<unsigned char>(blue), 255.0f);
    return ColorChannel::None;
}

float ReadFloat(const QString& key, const QString& value)
{
    const float number = value.toFloat();
    if (std::isfinite(number)) {
        return number;
    }
    std::cerr << "Warning: Value (\"" << value.toStdString() << "\") for key \"" << key.toStdString()
              << "\" is not a finite number; 0 is used." << std::endl;
    return 0.0f;
}

bool ReadAlignWord(const QString& word, bool& horizontal, int& value)
{
    static const struct
    {
        const char* word;
        bool horizontal;
        int value;
    } words[] = {{"left", true, 1}, {"hcenter", true, 2}, {"right", true, 3},
                 {"top", false, 1}, {"vcenter", false, 2}, {"bottom", false, 3}};
    for (const auto& known : words) {
        if (word == QLatin1String(known.word)) {
            horizontal = known.horizontal;
            value = known.value;
            return true;
        }
    }
    return false;
}

void ReportUnknownKey(const QString& key)
{
    std::cerr << "Unknown key \"" << key.toStdString() << "\"!" << std::flush;
}

} // namespace PartParams
