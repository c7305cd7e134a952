// JavaVMLauncher: creates the Java VM in this process, calls the runtime
// launcher class's main with the application's settings and arguments, and
// destroys the VM when main returns.
#pragma once
#include <string>
#include <vector>

#include "launcher/command_line.h"

namespace runvo {

// True when main ran and returned without a pending exception, or when the
// installer flavour's first-run check stopped the launch.
bool launchJavaApplication(const ArgumentVector& arguments);

// The "-D" options the launcher sets itself, in their fixed order.
std::vector<std::string> propertyOptions();

}  // namespace runvo
