#include "service/host_rules.h"

#include <cstring>

#include "service/service_name.h"

namespace runvo {

namespace {
void appendItem(WideString& line, WideView item) {
  if (!line.empty()) line += u' ';
  const bool quoted = item.find(u' ') != WideView::npos;
  if (quoted) line += u'"';
  line += item;
  if (quoted) line += u'"';
}
}  // namespace

WideString childCommandLine(const ArgumentVector& hostArguments, WideView serviceName,
                            const ArgumentVector& startParameters) {
  WideString line;
  if (!hostArguments.empty()) appendItem(line, hostArguments.front());
  appendItem(line, serviceName);
  for (std::size_t i = 1; i < hostArguments.size(); ++i) appendItem(line, hostArguments[i]);
  for (const WideString& parameter : startParameters) appendItem(line, parameter);
  appendItem(line, kChildMarker);
  return line;
}

std::string_view serviceNameArgument(unsigned long argc, const char* const* argv) {
  if (argc >= 1 && argv != nullptr && argv[0] != nullptr) {
    const std::size_t length = std::strlen(argv[0]);
    if (length >= 1 && length < kServiceNameCapacity) return argv[0];
  }
  return "unknown";
}

ControlOutcome applyControl(HostStatus& status, std::uint32_t control) {
  switch (control) {
    case kControlStop:
    case kControlPreshutdown:
      status.state = kStateStopPending;
      return {true, "SetServiceStatus 2 failed %d"};
    case kControlShutdown:
      ++status.checkPoint;
      status.state = kStateStopPending;
      return {true, "SetServiceStatus 1 failed %d"};
    default:
      return {false, "SetServiceStatus 3 failed %d"};
  }
}

HostStatus startingStatus() {
  HostStatus status;
  status.state = kStateStartPending;
  status.checkPoint = 1;
  status.waitHint = kStartWaitHint;
  return status;
}

bool advanceStartCheckpoint(HostStatus& status) {
  if (status.state != kStateStartPending) return false;
  ++status.checkPoint;
  return true;
}

bool markChildReady(HostStatus& status) {
  if (status.state != kStateStartPending) return false;
  status.state = kStateRunning;
  status.checkPoint = 0;
  status.waitHint = 0;
  return true;
}

bool advanceStopCheckpoint(HostStatus& status, std::uint32_t elapsedMs, std::uint32_t timeoutMs) {
  if (elapsedMs >= timeoutMs) return false;
  ++status.checkPoint;
  // What remains, and a little for the end of the tree afterwards.
  status.waitHint = timeoutMs - elapsedMs + 5000;
  return true;
}

void markStartFailed(HostStatus& status) {
  status.state = kStateStopped;
  status.win32ExitCode = kErrorServiceSpecific;
  status.serviceSpecificExitCode = 5000;
}

void markChildEnded(HostStatus& status, std::uint32_t exitCode) {
  if (exitCode != 0 && status.state != kStateStopPending) {
    status.win32ExitCode = kErrorServiceSpecific;
    status.serviceSpecificExitCode = exitCode;
  }
  status.state = kStateStopped;
  status.checkPoint = 0;
  status.waitHint = 0;
}

}  // namespace runvo
