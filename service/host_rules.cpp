#include "service/host_rules.h"

#include <cstring>

#include "service/service_name.h"

namespace runvo {

namespace {
bool holds(WideView text, char16_t c) { return text.find(c) != WideView::npos; }

// Bare when nothing in it splits or quotes; else in the quote it does not hold.
bool appendItem(WideString& line, WideView item) {
  if (!carriedWhole(item)) return false;
  if (!line.empty()) line += u' ';
  // A tab is quoted too: the program's end skips blanks of both kinds.
  const bool bare = !item.empty() && !holds(item, u' ') && !holds(item, u'\t') && !holds(item, u'"') &&
                    !holds(item, u'\'');
  const char16_t quote = holds(item, u'"') ? u'\'' : u'"';
  if (!bare) line += quote;
  line += item;
  if (!bare) line += quote;
  return true;
}

// The program goes by Windows' own rule: quoted when it holds a blank or is empty.
void appendProgram(WideString& line, WideView program) {
  const bool quoted = program.empty() || holds(program, u' ') || holds(program, u'\t');
  if (quoted) line += u'"';
  line += program;
  if (quoted) line += u'"';
}
}  // namespace

bool carriedWhole(WideView text) { return !(holds(text, u'"') && holds(text, u'\'')); }

std::optional<WideString> childCommandLine(const ArgumentVector& hostArguments, WideView serviceName,
                                           const ArgumentVector& startParameters) {
  WideString line;
  if (!hostArguments.empty()) appendProgram(line, hostArguments.front());
  bool whole = appendItem(line, serviceName);
  for (std::size_t i = 1; i < hostArguments.size(); ++i) whole = appendItem(line, hostArguments[i]) && whole;
  for (const WideString& parameter : startParameters) whole = appendItem(line, parameter) && whole;
  appendItem(line, kChildMarker);
  if (!whole) return std::nullopt;
  return line;
}

WideView serviceNameArgument(unsigned long argc, const char16_t* const* argv) {
  if (argc >= 1 && argv != nullptr && argv[0] != nullptr) {
    const WideView name(argv[0]);
    if (!name.empty() && name.size() < kServiceNameCapacity) return name;
  }
  return u"unknown";
}

namespace {
void enterStopPending(HostStatus& status, std::uint32_t stopTimeoutMs) {
  if (status.state != kStateStopPending) {
    status.state = kStateStopPending;
    status.checkPoint = 0;
    status.waitHint = stopTimeoutMs + kTreeEndAllowanceMs;
  }
  ++status.checkPoint;
}
}  // namespace

ControlOutcome applyControl(HostStatus& status, std::uint32_t control, std::uint32_t stopTimeoutMs) {
  switch (control) {
    case kControlStop:
    case kControlPreshutdown:
      enterStopPending(status, stopTimeoutMs);
      return {true, "SetServiceStatus 2 failed %d"};
    case kControlShutdown:
      enterStopPending(status, stopTimeoutMs);
      return {true, "SetServiceStatus 1 failed %d"};
    default:
      return {false, "SetServiceStatus 3 failed %d"};
  }
}

bool isPriorityClass(std::uint32_t value) {
  // IDLE, BELOW_NORMAL, NORMAL, ABOVE_NORMAL, HIGH, REALTIME.
  for (const std::uint32_t priorityClass : {0x40u, 0x4000u, 0x20u, 0x8000u, 0x80u, 0x100u}) {
    if (value == priorityClass) return true;
  }
  return false;
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
  status.waitHint = timeoutMs - elapsedMs + kTreeEndAllowanceMs;
  return true;
}

void advanceTreeEndCheckpoint(HostStatus& status) {
  ++status.checkPoint;
  status.waitHint = kTreeEndAllowanceMs;
}

void markStartFailed(HostStatus& status) {
  status.state = kStateStopped;
  status.win32ExitCode = kErrorServiceSpecific;
  status.serviceSpecificExitCode = kExitCodeStartFailed;
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

void markGaveUp(HostStatus& status, std::uint32_t exitCode) {
  markChildEnded(status, exitCode);
  status.win32ExitCode = kErrorServiceSpecific;
  status.serviceSpecificExitCode = exitCode;
}

}  // namespace runvo
