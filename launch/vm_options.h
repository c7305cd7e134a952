// The VM options after the launcher's own properties: configured options,
// "-J" arguments and the VM options file beside the executable, in that
// order, with their class-path directives.
#pragma once
#include <string>
#include <vector>

#include "launch/class_path.h"
#include "launch/launch_settings.h"
#include "util/command_line.h"
#include "util/outcome.h"

namespace runvo {

// Appends to `options`; each directive keeps the last value seen. Fails with
// message 1007 when the configured options have a quote without its partner.
Outcome<ClassPathDirectives> collectVmOptions(const LaunchSettings& settings, const ProcessValues& values,
                                              const ArgumentVector& arguments, std::vector<std::string>& options);

// How deep VM options files may include each other.
inline constexpr int kMaxIncludeDepth = 10;

}  // namespace runvo
