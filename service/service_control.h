// The service verbs: install, remove, start, stop and query the Windows
// service that runs this executable. Each returns the process exit code.
#pragma once
#include <cstdint>

namespace runvo {

inline constexpr std::uint32_t kAutoStart = 2;    // SERVICE_AUTO_START
inline constexpr std::uint32_t kDemandStart = 3;  // SERVICE_DEMAND_START

int installService(std::uint32_t startType, bool interactive);
int uninstallService(bool verbose);
int startService();
int stopService(bool verbose);
int queryServiceStatus();

}  // namespace runvo
