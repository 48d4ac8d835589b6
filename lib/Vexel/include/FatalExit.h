#pragma once

#include <string>

namespace Vexel {

// The last word of a program: writes
// "FATAL: <message> (<file>:<line>, <function>)" to standard error and ends
// the process with status 1 through the standard exit, without a core dump.
[[noreturn]] void FatalExit(const char* file, int line, const char* function, const std::string& message);

// The report alone. A message of several lines has the place at the end of
// its first line: "FATAL: <line 1> (<file>:<line>, <function>)\n<line 2>...".
std::string FatalText(const char* file, int line, const char* function, const std::string& message);

} // namespace Vexel

// Reports with the caller's location and function signature.
#define VEXEL_FATAL(message) ::Vexel::FatalExit(__FILE__, __LINE__, __PRETTY_FUNCTION__, (message))
