// What the service host decides, apart from the calls that carry it out:
// the child's command line and the status it reports on each event.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "util/command_line.h"

namespace runvo {

inline constexpr WideView kChildMarker = u"__ksx_restart";

// Whether a text can travel as one item of the child's command line: the
// splitter has no escapes, so a text cannot hold both kinds of quote.
bool carriedWhole(WideView text);

// The executable as it was started, the service name, the host's other
// arguments, the start parameters and the child marker, each quoted so that
// the child's splitter gives it back unchanged (empty texts included). None
// when an item holds both kinds of quote.
std::optional<WideString> childCommandLine(const ArgumentVector& hostArguments, WideView serviceName,
                                           const ArgumentVector& startParameters);

// The name the Service Control Manager passed, or "unknown" when there is
// none or it does not fit the service name buffer.
WideView serviceNameArgument(unsigned long argc, const char16_t* const* argv);

inline constexpr std::uint32_t kControlStop = 1;
inline constexpr std::uint32_t kControlShutdown = 5;
inline constexpr std::uint32_t kControlPreshutdown = 0x0F;
// Stop, shutdown and pre-shutdown.
inline constexpr std::uint32_t kControlsAccepted = 0x1 | 0x4 | 0x100;

// The fields of the status record the host reports.
struct HostStatus {
  std::uint32_t serviceType = 0x30;
  std::uint32_t state = 4;  // running
  std::uint32_t controlsAccepted = kControlsAccepted;
  std::uint32_t win32ExitCode = 0;
  std::uint32_t serviceSpecificExitCode = 0;
  std::uint32_t checkPoint = 0;
  std::uint32_t waitHint = 50000;
};

inline constexpr std::uint32_t kStateStopped = 1;
inline constexpr std::uint32_t kStateStartPending = 2;
inline constexpr std::uint32_t kStateStopPending = 3;
inline constexpr std::uint32_t kStateRunning = 4;

struct ControlOutcome {
  bool sendStopLine = false;
  const char* reportFailureLog;  // logged with the error code when the report fails
};

// What the stop wait hint adds to the stop timeout: the time it takes to end
// the application's process tree and clean up after it.
inline constexpr std::uint32_t kTreeEndAllowanceMs = 5000;

// Applies a control to the status; the record is then reported. A stop (or
// shutdown) starts the stop's checkpoints, with a wait hint that covers the
// whole stop timeout: from its first report on, whoever waits for the stop
// (the service manager, /stop, sc, Stop-Service) follows it to its end.
ControlOutcome applyControl(HostStatus& status, std::uint32_t control, std::uint32_t stopTimeoutMs);
// Whether a value from the registry is one of the process priority classes
// (and nothing else that CreateProcess would take as a creation flag).
bool isPriorityClass(std::uint32_t value);

// How long the manager is told to wait for the next checkpoint while the child starts.
inline constexpr std::uint32_t kStartWaitHint = 10000;
inline constexpr std::uint32_t kErrorServiceSpecific = 1066;

// The status while the child starts: start pending, stop and shutdown accepted.
HostStatus startingStatus();
// A checkpoint more while the start is pending; false when nothing is to be reported.
bool advanceStartCheckpoint(HostStatus& status);
// The child says the application's main is being called: running, unless a
// stop came first. Whether the new state is reported.
bool markChildReady(HostStatus& status);
// While the child has time to end after the stop line: a checkpoint more and
// a wait hint that covers the rest of the timeout, so that the manager never
// takes the service for hung. False once the time is up.
bool advanceStopCheckpoint(HostStatus& status, std::uint32_t elapsedMs, std::uint32_t timeoutMs);
// While the ended tree goes away and the host cleans up after it: a
// checkpoint more, with the allowance as the wait hint.
void advanceTreeEndCheckpoint(HostStatus& status);

// The service-specific codes of ends that the host makes itself: the child
// could not be started; the application did not become ready in time; it
// stopped answering its liveness check; the pre-start hook failed.
inline constexpr std::uint32_t kExitCodeStartFailed = 5000;
inline constexpr std::uint32_t kExitCodeNotReady = 5001;
inline constexpr std::uint32_t kExitCodeHung = 5002;
inline constexpr std::uint32_t kExitCodePreStartFailed = 5003;

// The child could not be started (or given its pipes).
void markStartFailed(HostStatus& status);
// The end of the child: stopped. A child that failed on its own (a non-zero
// exit code without a stop request) is reported as a failure with its exit
// code as the service-specific one, so that nothing that failed looks like
// success and the manager's failure actions can count it.
void markChildEnded(HostStatus& status, std::uint32_t exitCode);
// The host gave up restarting: stopped as a failure with the application's
// last exit code, whatever it was, so that the manager's own recovery
// actions take over.
void markGaveUp(HostStatus& status, std::uint32_t exitCode);

}  // namespace runvo
