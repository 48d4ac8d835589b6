#pragma once

#include <string>

namespace Vexel {

// Shows an error message box with an OK button and returns once it is closed,
// or at once where no box can be shown (no display). The demo's window goes
// first: the box is the program's last act. A SIGINT, SIGTERM or SIGHUP while
// the box is open closes it and returns, and the box never outlives its
// caller, even one killed outright.
void ShowErrorBox(const char* title, const std::string& message);

} // namespace Vexel
