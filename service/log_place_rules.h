// Where the service log goes when its configured folder cannot take it (a
// least-privilege account that may not write beside the executable), and
// which of the two places the verbs read: the host and the verbs decide by
// the same rule.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace runvo {

struct ServiceLogPlaces {
  std::string configured;
  std::string fallback;  // empty: none known (no ProgramData folder)
};

// "<programData>\runvo\<service>\logs\<service>.log", the service name made a
// file name as the configured log's is; empty without a ProgramData folder.
std::string fallbackServiceLogPath(std::string_view programData, std::string_view serviceName);

enum class LogPlace { Configured, Fallback };

// The file that holds the latest run, from when each was last written (none:
// missing): the fallback only when it was written after the configured log.
LogPlace placeToRead(std::optional<std::uint64_t> configuredWritten, std::optional<std::uint64_t> fallbackWritten);

}  // namespace runvo
