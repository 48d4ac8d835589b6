#include "Halvorn/PartChecks.h"

#include <cmath>
#include <limits>
#include <sstream>

namespace PartChecks {

std::string NonFiniteTime(const QString& partName, const char* attribute, const char* text, double seconds)
{
    if (std::isfinite(seconds) && std::fabs(seconds) <= static_cast<double>(std::numeric_limits<float>::max())) {
        return {};
    }
    return "Part \"" + partName.toStdString() + "\": " + attribute + " \"" + text +
           "\" is not a finite time in seconds!";
}

std::string EndsBeforeStart(const QString& partName, double start, double end)
{
    if (!(end < start)) {
        return {};
    }
    std::ostringstream text;
    text << "Warning: part \"" << partName.toStdString() << "\" ends (" << end << ") before it starts (" << start
         << ") and will not be shown.";
    return text.str();
}

std::string MissingImage(const QString& partName, const std::vector<DemoPartParam>& params)
{
    const DemoPartParam* image = nullptr;
    for (const DemoPartParam& param : params) {
        if (param.mName == QLatin1String("image")) {
            image = &param;
        }
    }
    if (image != nullptr && !image->mValue.isEmpty()) {
        return {};
    }
    return "Image part \"" + partName.toStdString() + "\" has " +
           (image == nullptr ? "no" : "an empty") + " \"image\" parameter!";
}

} // namespace PartChecks
