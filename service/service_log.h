// The service log: the host's own lines and everything its child writes, in
// one file per service that rolls over at a size. Writing it never stops the
// service: a file that cannot be written is said once in the launcher log,
// and the lines are dropped.
#pragma once
#include <cstdint>
#include <mutex>
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
  void writeLocked(std::string_view text);
  bool openLocked();
  void rollLocked();

  const std::string path_;
  const ServiceLogSettings settings_;
  std::mutex lock_;
  UniqueHandle file_;
  std::uint64_t size_ = 0;
  bool failureReported_ = false;
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
