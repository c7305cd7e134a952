// The VM's launcher properties and the runtime launcher class's argument
// array: pure functions of the settings and the values of the run.
#pragma once
#include <string>
#include <vector>

#include "launch/launch_settings.h"
#include "util/command_line.h"
#include "util/outcome.h"

namespace runvo {

// The "-D" options the launcher sets itself, in their fixed order; the
// rolling of the output files last, each only when configured.
std::vector<std::string> propertyOptions(const LaunchSettings& settings, const ProcessValues& values);

// The texts of the argument array that the Windows side prepares: converted
// to UTF-16, the configured arguments expanded, the redirection files made
// full paths (empty when not redirected).
struct LaunchTexts {
  WideString mainClass;
  WideString standardErrorFile;
  WideString standardOutputFile;
  WideString configuredArguments;
};

// The array handed to the runtime launcher class's main: windowed flag, main
// class, both redirection files, the append flag, the service name (the first
// of the process's arguments), the configured arguments, then the process's
// other arguments ("-J" ones left out when they went to the VM). Fails with
// message 1007 when the configured arguments have a quote without its partner.
Outcome<ArgumentVector> launchArguments(const LaunchSettings& settings, const LaunchTexts& texts,
                                        const ArgumentVector& arguments);

// Splits configured words; a quote without its partner fails with message 1007.
Outcome<ArgumentVector> splitConfiguredWords(WideView text);

}  // namespace runvo
