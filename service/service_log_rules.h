// The service log's rules apart from the file calls: where it lives, how it
// rolls over, how a line looks, and how the child's output becomes lines.
#pragma once
#include <cstdint>
#include <optional>
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
// The service name as a file name: "_" for what Windows file names cannot hold.
std::string serviceFileStem(std::string_view serviceName);

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

// The host's lines that /status reads back: each child's process id, its
// exit code, and each restart of the application (followed by its number and ")").
inline constexpr std::string_view kChildProcessLine = "child process id ";
inline constexpr std::string_view kChildExitLine = "child exited with code ";
inline constexpr std::string_view kRestartLine = "restarting the application (restart ";

// The time stamp at the start of a log line; none for a line without one.
std::optional<LogTime> parseLogTime(std::string_view line);
// Seconds from one local time to a later one (negative when it is earlier).
std::int64_t secondsBetween(const LogTime& from, const LogTime& to);
// "2 d 3 h 4 min 5 s", without the leading units that are 0.
std::string durationText(std::int64_t seconds);

// What the latest run of a service says of itself in its log.
struct RunFacts {
  std::optional<LogTime> startedAt;
  std::optional<std::uint32_t> childProcessId;  // the latest child's
  std::uint32_t restarts = 0;
  std::optional<std::uint32_t> lastExitCode;  // of the latest child that ended
};
RunFacts latestRunFacts(std::string_view text, std::string_view startMarker);

}  // namespace runvo
