#pragma once

#include "Halvorn/Diagnostic.h"

#include <QString>

#include <string>
#include <vector>

// Compiles and links a shader pair in the current GL context, the way the
// parts will, and turns the driver's log into diagnostics at the shader
// file and the driver's line, so a maker's editor can jump there.
class ShaderCheck
{
public:
    // Empty when the pair compiles and links. Needs a current context.
    static std::vector<Diagnostic> Run(const QString& vertexFile, const QString& fragmentFile);
    // The error lines of one stage's log; lines without a position go to line 1.
    static std::vector<Diagnostic> ParseLog(const std::string& file, const std::string& log);
};
