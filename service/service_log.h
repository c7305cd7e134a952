// The service log: the host's own lines and everything its child writes, in
// one file per service that rolls over at a size and, if configured, daily.
// Writing it never stops the service: a log that cannot be started where it
// is configured goes to the fallback folder; one that cannot be written at
// all is said once in the launcher log, and the lines are dropped; a file
// that cannot be rolled over (held open elsewhere) is written on, and said
// once in itself.
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "service/log_place_rules.h"
#include "service/service_log_rules.h"
#include "util/unique_handle.h"

namespace runvo {

class ServiceLog {
 public:
  ServiceLog(std::string path, const ServiceLogSettings& settings);

  // The file written now: the configured one, or the fallback once taken
  // (which happens at the first line, before other threads write).
  const std::string& path() const { return path_; }
  // Where the log goes when the configured file cannot be opened, and who
  // hears of it (once, with the path or with both reasons).
  using Notice = std::function<void(const std::string&)>;
  void fallBackTo(std::string fallbackPath, Notice notice);
  // One timestamped line; safe from any thread.
  void line(std::string_view text);
  // The child's output as it arrives.
  void output(std::string_view chunk);
  void finishOutput();

 private:
  // Stamps the line with the time, which also decides a roll.
  void writeLocked(std::string_view text);
  bool openLocked();
  bool openFallbackLocked(DWORD configuredError);
  void rollLocked(const LogTime& now);
  // Moves the file aside (or deletes it when no rolled file is kept); the
  // system's error when that failed.
  std::optional<DWORD> moveAsideLocked();
  void removeExpiredRolledFiles(const LogTime& now) const;
  void appendLocked(const std::string& record);

  std::string path_;
  std::string fallbackPath_;
  Notice notice_;
  const ServiceLogSettings settings_;
  std::mutex lock_;
  UniqueHandle file_;
  LogRollState roll_;
  bool failureReported_ = false;
  bool rollFailureReported_ = false;
  bool expiredFilesChecked_ = false;
  OutputLines outputLines_;
};

// Where the log of a service goes: "<folder>\<service>.log" (the folder
// taken against the launcher directory), else the fallback under the
// ProgramData folder. The host and the verbs take it from here alike.
ServiceLogPlaces serviceLogPlaces(std::string_view launcherDirectory, std::string_view folder,
                                  std::string_view serviceName);

// The one of the two places that holds the latest run, by placeToRead.
std::string serviceLogToRead(const ServiceLogPlaces& places);

// The last lines of the latest run in a service log; empty when it cannot be read.
std::vector<std::string> lastServiceLogLines(const std::string& path, std::size_t count);

// What the service's log says of its latest run; nothing when it cannot be read.
RunFacts serviceRunFacts(const std::string& path);

// The local time, as the log's lines are stamped.
LogTime localTimeNow();

// The line that starts every run of a service in its log.
inline constexpr std::string_view kServiceStartMarker = "service starting";

}  // namespace runvo
