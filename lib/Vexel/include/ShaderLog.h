#pragma once

#include "Halvorn/Diagnostic.h"

#include <string>
#include <vector>

// Reads a GL driver's compile log into diagnostics at the shader file's own
// lines, so a maker's editor can jump there. Knows Mesa's "0:12(5): error: X",
// NVIDIA's "0(12) : error C1008: X" and the "ERROR: 0:12: X" of others.
class ShaderLog
{
public:
    // The error lines of one stage's log; warnings are left out and a line
    // without a position goes to line 1. With lastLine above 0, a line past
    // it (code the engine added after the file) is reported at lastLine.
    static std::vector<Diagnostic> Parse(const std::string& file, const std::string& log, int lastLine = 0);
};
