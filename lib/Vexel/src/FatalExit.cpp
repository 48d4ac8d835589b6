#include "FatalExit.h"

#include <cstdlib>
#include <iostream>

namespace Vexel {

std::string FatalText(const char* file, int line, const char* function, const std::string& message)
{
    // The place goes at the end of the first line, so that line keeps its form
    // when a message brings further lines (a reason) of its own.
    const std::size_t lineEnd = message.find('\n');
    const std::string rest = lineEnd == std::string::npos ? std::string() : message.substr(lineEnd);
    return "FATAL: " + message.substr(0, lineEnd) + " (" + (file != nullptr ? file : "?") + ":" +
           std::to_string(line) + ", " + (function != nullptr ? function : "?") + ")" + rest;
}

void FatalExit(const char* file, int line, const char* function, const std::string& message)
{
    std::cerr << FatalText(file, line, function, message) << std::endl;
    // exit, not abort: the report is the whole story, a core dump adds nothing.
    std::exit(EXIT_FAILURE);
}

} // namespace Vexel
