// The service verbs: install, remove, start, stop and query the Windows
// service that runs this executable. Each returns the process exit code.
#pragma once
#include <cstdint>
#include <string>

namespace runvo {

inline constexpr std::uint32_t kAutoStart = 2;    // SERVICE_AUTO_START
inline constexpr std::uint32_t kDemandStart = 3;  // SERVICE_DEMAND_START

int installService(const std::string& name, std::uint32_t startType, bool interactive);
int uninstallService(const std::string& name, bool verbose);
int startService(const std::string& name);
int stopService(const std::string& name, bool verbose);
int queryServiceStatus(const std::string& name);

}  // namespace runvo
