#pragma once

#include <string>
#include <vector>

// One problem found in a file, as compilers report them so editors can jump
// to it: "FILE:LINE:COL: error: MESSAGE". Lines and columns count from 1.
class Diagnostic
{
public:
    enum class Severity
    {
        Error,
        Warning,
        // Says what was not checked; counts as neither.
        Note,
    };

    Diagnostic(std::string file, int line, int column, Severity severity, std::string message);

    // One line: line ends and other control characters in the file name or
    // the message are written as \n, \r, \t or \xHH.
    std::string Format() const;
    static const char* SeverityText(Severity severity);
    // "1 error, 2 warnings": both counts always, singular for exactly one.
    static std::string Summary(const std::vector<Diagnostic>& diagnostics);

    std::string mFile;
    int mLine;
    int mColumn;
    Severity mSeverity;
    std::string mMessage;
};
