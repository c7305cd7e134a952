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
  bool rollDaily = false;                           // also rolls with the first line of a new day
  int keptDays = 0;                                 // rolled files older than this go; 0: no age limit
};

// Missing or unusable values keep the defaults.
ServiceLogSettings readServiceLogSettings(const ConfigTable& table);

// "<folder>\<service name>.log"; the folder is taken against the launcher
// directory (ending with a backslash) unless absolute, and characters that
// Windows file names cannot hold become "_".
std::string serviceLogPath(std::string_view launcherDirectory, std::string_view folder, std::string_view serviceName);
// The service name as a file name: "_" for what Windows file names cannot hold.
std::string serviceFileStem(std::string_view serviceName);

struct LogTime {
  int year, month, day, hour, minute, second, millisecond;

  auto operator<=>(const LogTime&) const = default;
};

struct LogDate {
  int year, month, day;

  auto operator<=>(const LogDate&) const = default;
};

inline LogDate dateOf(const LogTime& time) { return {time.year, time.month, time.day}; }

// "<path>.<index>": the index-th older file, as a roll by size names it.
std::string rolledLogName(std::string_view path, int index);
// "<path>.2026-12-10", then "<path>.2026-12-10.1", ".2" ... when that name is
// taken: a roll of a daily log is named after the day its lines belong to,
// so the rolled files sort by date and then in the order they were rolled.
std::string dailyLogName(std::string_view path, const LogDate& day, int attempt);
// Whether `name` is a rolled file of the log file named `logName` (both
// names without their folder), in either form above.
bool isRolledLogName(std::string_view logName, std::string_view name);

enum class RollReason { None, Size, Day };

// When the file being written rolls over: before the record that would take
// it past its size, and with the first record of a later day. A roll that
// failed (the file held open elsewhere) is tried again a minute later, not
// before every record, so that a stuck file costs no time.
class LogRollState {
 public:
  static constexpr std::int64_t kRetrySeconds = 60;

  LogRollState(std::uint64_t rollBytes, bool rollDaily) : rollBytes_(rollBytes), rollDaily_(rollDaily) {}

  // The file was opened holding `size` bytes, last written at `lastWrite`;
  // opened again with lines in it (after a roll that failed), it keeps the
  // day it began with.
  void opened(std::uint64_t size, const LogTime& lastWrite);
  RollReason before(std::size_t recordBytes, const LogTime& now) const;
  void wrote(std::size_t bytes) { size_ += bytes; }
  // The file was rolled over; an empty one holds today's lines from now on.
  void rolled(const LogTime& now);
  // The file could not be rolled over and is written on.
  void rollFailed(const LogTime& now);

  // The day whose lines the file holds, which names its daily roll.
  LogDate fileDay() const { return fileDay_.value_or(LogDate{}); }

 private:
  std::uint64_t rollBytes_;
  bool rollDaily_;
  std::uint64_t size_ = 0;
  std::optional<LogDate> fileDay_;
  std::optional<LogTime> failedAt_;
};

struct RolledFile {
  std::string name;
  LogTime lastWrite;
};

// By last write, the newest first.
std::vector<RolledFile> newestFirst(std::vector<RolledFile> files);

// The rolled files to remove: beyond the newest `keptFiles`, and those last
// written more than `keptDays` days (0: no limit) before `now`.
std::vector<std::string> rolledFilesToRemove(std::vector<RolledFile> files, int keptFiles, int keptDays,
                                             const LogTime& now);

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
