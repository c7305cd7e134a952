// Runs a tcp or http health check against the loopback address. Winsock is
// loaded at the first check, so that a service without checks (and every
// child run) never loads it.
#pragma once
#include <cstdint>
#include <string>

#include "service/health_rules.h"

namespace runvo {

struct ProbeResult {
  bool serves = false;
  std::string detail;  // what was seen, for the log: "connection refused", "HTTP/1.1 503 ..."
};

// Ends on its own within about `timeoutMs`, whatever the application does.
ProbeResult probeServes(const HealthCheck& check, std::uint32_t timeoutMs);

}  // namespace runvo
