// The service log: the host's own lines and everything its child writes, in
// one file per service that rolls over at a size and, if configured, daily.
// Writing it never stops the service: a file that cannot be written is said
// once in the launcher log, and the lines are dropped; a file that cannot be
// rolled over (held open elsewhere) is written on, and said once in itself.
#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "service/service_log_rules.h"
#include "util/unique_handle.h"

namespace runvo {

class ServiceLog {
 public:
  ServiceLog(std::string path, const ServiceLogSettings& settings);

  const std::string& path() const { return path_; }
  // One timestamped line; safe from any thread.
  void line(std::string_view text);
  // The child's output as it arrives.
  void output(std::string_view chunk);
  void finishOutput();

 private:
  // Stamps the line with the time, which also decides a roll.
  void writeLocked(std::string_view text);
  bool openLocked();
  void rollLocked(const LogTime& now);
  // Moves the file aside (or deletes it when no rolled file is kept); the
  // system's error when that failed.
  std::optional<DWORD> moveAsideLocked();
  void removeExpiredRolledFiles(const LogTime& now) const;
  void appendLocked(const std::string& record);

  const std::string path_;
  const ServiceLogSettings settings_;
  std::mutex lock_;
  UniqueHandle file_;
  LogRollState roll_;
  bool failureReported_ = false;
  bool rollFailureReported_ = false;
  bool expiredFilesChecked_ = false;
  OutputLines outputLines_;
};

// The last lines of the latest run in a service log; empty when it cannot be read.
std::vector<std::string> lastServiceLogLines(const std::string& path, std::size_t count);

// What the service's log says of its latest run; nothing when it cannot be read.
RunFacts serviceRunFacts(const std::string& path);

// The local time, as the log's lines are stamped.
LogTime localTimeNow();

// The line that starts every run of a service in its log.
inline constexpr std::string_view kServiceStartMarker = "service starting";

}  // namespace runvo
