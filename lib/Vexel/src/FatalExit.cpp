#include "FatalExit.h"

#include <cstdlib>
#include <iostream>

namespace Vexel {

std::string FatalText(const char* file, int line, const char* function, const std::string& message)
{
    return "FATAL: " + message + " (" + (file != nullptr ? file : "?") + ":" + std::to_string(line) + ", " +
           (function != nullptr ? function : "?") + ")";
}

void FatalExit(const char* file, int line, const char* function, const std::string& message)
{
    std::cerr << FatalText(file, line, function, message) << std::endl;
    // exit, not abort: the report is the whole story, a core dump adds nothing.
    std::exit(EXIT_FAILURE);
}

} // namespace Vexel
