// The service log's rules apart from the file calls: where it lives, how it
// rolls over, how a line looks, and how the child's output becomes lines.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "payload/config_table.h"

namespace runvo {

struct ServiceLogSettings {
  std::string folder = "logs";                      // relative to the executable's folder
  std::uint64_t rollBytes = 10ull * 1024 * 1024;    // the size at which the log rolls over
  int keptFiles = 5;                                // rolled files kept: name.log.1 ... name.log.N
};

// Missing or unusable values keep the defaults.
ServiceLogSettings readServiceLogSettings(const ConfigTable& table);

// "<folder>\<service name>.log"; the folder is taken against the launcher
// directory (ending with a backslash) unless absolute, and characters that
// Windows file names cannot hold become "_".
std::string serviceLogPath(std::string_view launcherDirectory, std::string_view folder, std::string_view serviceName);

// "<path>.<index>": the index-th older file.
std::string rolledLogName(std::string_view path, int index);

struct LogTime {
  int year, month, day, hour, minute, second, millisecond;
};

// "2026-12-10 17:05:45.123 text"
std::string timestampedLine(const LogTime& time, std::string_view text);

// Turns the child's output, read in chunks of any size, into lines. A line
// longer than the limit is passed on in pieces, so memory stays bounded
// however the child writes.
class OutputLines {
 public:
  static constexpr std::size_t kLongestLine = 64 * 1024;

  // The lines that the chunk completed, without their line ends.
  std::vector<std::string> append(std::string_view chunk);
  // What is left at the end of the output, if anything.
  std::vector<std::string> finish();

 private:
  std::string partial_;
};

// The last `count` lines of the text of a log, from the last line that holds
// `marker` on (the start of the latest run), without their line ends.
std::vector<std::string> lastLinesSince(std::string_view text, std::string_view marker, std::size_t count);

// The host's line before each restart of the application, followed by the
// restart's number and ")".
inline constexpr std::string_view kRestartLine = "restarting the application (restart ";

// How often the host restarted the application in the latest run of the
// service that a log's text shows; 0 when it never did.
std::uint32_t restartsInLatestRun(std::string_view text, std::string_view startMarker);

}  // namespace runvo
