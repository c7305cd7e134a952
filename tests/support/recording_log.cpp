#include "support/recording_log.h"

#include <cstdio>

#include "diag/log.h"

namespace runvo {

namespace {
class RecordingSink final : public LogSink {
 public:
  void writeLine(const char* prefix, const char* format, va_list args) override {
    char line[1024];
    std::vsnprintf(line, sizeof line, format, args);
    testing::recordedLogLines().push_back(std::string(prefix) + line);
  }
  std::optional<std::string> path() override { return std::nullopt; }
};

// Installed before any test runs.
const bool installed = [] {
  static RecordingSink sink;
  setLogSink(&sink);
  return true;
}();
}  // namespace

std::vector<std::string>& testing::recordedLogLines() {
  static std::vector<std::string> lines;
  return lines;
}

}  // namespace runvo
