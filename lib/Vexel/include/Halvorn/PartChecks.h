#pragma once

#include "Halvorn/DemoPartParam.h"

#include <QString>

#include <string>
#include <vector>

// Checks of a part entry that every program reading settings files makes.
// Each gives the text of the problem, or an empty text when there is none; the
// caller decides whether it stops the program or is only reported.
namespace PartChecks {

// A start, end or length must be a finite number of seconds, also once
// narrowed to the float that parts are made with: a time that never comes
// keeps the timeline from ever emptying.
// "Part \"<part>\": <attribute> \"<text>\" is not a finite time in seconds!"
std::string NonFiniteTime(const QString& partName, const char* attribute, const char* text, double seconds);

// A part that ends before it starts is never shown; ending where it starts is
// fine. "Warning: part \"<part>\" ends (<end>) before it starts (<start>) and
// will not be shown."
std::string EndsBeforeStart(const QString& partName, double start, double end);

// An image part shows the file of its last "image" parameter.
// "Image part \"<part>\" has no \"image\" parameter!", or "... has an empty
// \"image\" parameter!"
std::string MissingImage(const QString& partName, const std::vector<DemoPartParam>& params);

} // namespace PartChecks
