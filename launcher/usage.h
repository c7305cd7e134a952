// The short usage a person gets for a wrong verb or none at all.
#pragma once
#include <string>
#include <string_view>

namespace runvo {

// The exit code of a usage error.
inline constexpr int kUsageExitCode = 2;

std::string usageText(std::string_view program, std::string_view serviceName, std::string_view serviceLogPath);

}  // namespace runvo
