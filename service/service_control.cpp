// The service verbs talk to the Service Control Manager directly and report
// on standard output, one line per outcome, so that scripts can read both the
// text and the exit code.
#include "service/service_control.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <vector>
#include <string>
#include <string_view>

#include "payload/config.h"
#include "service/event_log.h"
#include "service/host_rules.h"
#include "service/pending_rules.h"
#include "service/scm_access.h"
#include "service/service_log.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/unique_handle.h"
#include "util/win.h"
#include "util/win_text.h"

namespace runvo {

namespace {
constexpr DWORD kConfigBufferSize = 8192;
// A query is one round trip to the service manager, cheap enough to repeat
// this often: /start and /stop return within this long of the state they
// wait for (a stop polled every 500 ms kept /stop waiting up to half a
// second after the service had stopped).
constexpr DWORD kStatusPollMilliseconds = 20;
// How long a service that reports stopped may still refuse a start because
// its process has not quite gone (Wine's manager does so for a moment).
constexpr DWORD kStoppedProcessGraceMs = 3000;
// Enough for a launcher message with its list of rejected runtimes, or the
// top of a stack trace with the host's closing lines.
constexpr std::size_t kReasonLines = 30;


ObservedStatus observed(const SERVICE_STATUS& status) {
  return {status.dwCurrentState, status.dwCheckPoint, status.dwWaitHint};
}

// Follows the service while it is in `pendingState`, from the status just
// queried, as long as its checkpoints advance within their wait hints.
// False when a query fails (the system's error stays in GetLastError);
// `hung` says whether the service stopped making progress.
bool followPending(SC_HANDLE service, DWORD pendingState, SERVICE_STATUS& status, bool& hung,
                   std::uint32_t* grantedMs = nullptr) {
  PendingWatch watch(pendingState, observed(status), GetTickCount64());
  hung = false;
  for (;;) {
    if (status.dwCurrentState != pendingState) return true;
    Sleep(kStatusPollMilliseconds);
    if (!QueryServiceStatus(service, &status)) return false;
    const PendingVerdict verdict = watch.observe(observed(status), GetTickCount64());
    if (grantedMs) *grantedMs = watch.grantedMs();
    if (verdict == PendingVerdict::Hung) {
      hung = true;
      return true;
    }
  }
}

const char* stateText(DWORD state) {
  switch (state) {
    case SERVICE_STOPPED: return "stopped";
    case SERVICE_START_PENDING: return "starting";
    case SERVICE_STOP_PENDING: return "stopping";
    case SERVICE_RUNNING: return "running";
    case SERVICE_CONTINUE_PENDING: return "continuing";
    case SERVICE_PAUSE_PENDING: return "pausing";
    case SERVICE_PAUSED: return "paused";
    default: return "in an unknown state";
  }
}

// Follows a stop to its end: 0 and "Service stopped" once stopped; else
// "Error while stopping service", the state and the reason, and 1.
int followStop(SC_HANDLE service, SERVICE_STATUS& status) {
  bool hung = false;
  std::uint32_t grantedMs = 0;
  const bool queried = followPending(service, SERVICE_STOP_PENDING, status, hung, &grantedMs);
  const DWORD error = GetLastError();
  if (queried && !hung && status.dwCurrentState == SERVICE_STOPPED) {
    std::fputs("Service stopped\n", stdout);
    return 0;
  }
  std::fputs("Error while stopping service\n", stdout);
  std::fflush(stdout);
  if (!queried) {
    std::fprintf(stderr, "Its state could not be read: %s\n", systemErrorText(error).c_str());
  } else if (hung) {
    std::fprintf(stderr, "The service is still stopping: it made no progress within %lu ms (checkpoint %lu).\n",
                 static_cast<unsigned long>(grantedMs), static_cast<unsigned long>(status.dwCheckPoint));
  } else {
    std::fprintf(stderr, "The service is %s.\n", stateText(status.dwCurrentState));
  }
  std::fflush(stderr);
  return 1;
}

// One fact a line from the service log: of a running service its
// application's process id, how long since the service started, how often
// the application was restarted; and the last exit code of the application.
void printRunFacts(const RunFacts& facts, bool running) {
  if (running && facts.childProcessId) std::printf("Application process id: %u\n", *facts.childProcessId);
  if (running && facts.startedAt) {
    std::printf("Running for: %s\n", durationText(secondsBetween(*facts.startedAt, localTimeNow())).c_str());
  }
  if (running) std::printf("Restarts: %u\n", facts.restarts);
  if (facts.lastExitCode) std::printf("Last exit code: %u\n", *facts.lastExitCode);
}

// Exit code 0 running, 3 not running, 1 when the configuration cannot be read
// or names another program.
int reportConfiguration(SC_HANDLE service, int stateResult) {
  alignas(QUERY_SERVICE_CONFIGA) unsigned char buffer[kConfigBufferSize];
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
  DWORD needed = 0;
  if (!QueryServiceConfigA(service, config, sizeof buffer, &needed)) {
    std::printf("Could not get config (%d, %d).\n", static_cast<int>(GetLastError()),
                static_cast<int>(needed));
    return 1;
  }
  if (!isThisExecutable(config->lpBinaryPathName)) {
    std::printf("Different service executable: %s\n",
                config->lpBinaryPathName ? config->lpBinaryPathName : "");
    return 1;
  }
  if (config->dwStartType == SERVICE_AUTO_START) std::printf("%s.\n", "Auto-start");
  return stateResult;
}
}  // namespace

int uninstallService(const std::string& name, bool verbose) {
  stopService(name, /*verbose=*/false);
  const UniqueServiceHandle manager = openManager(SC_MANAGER_ALL_ACCESS);
  if (!manager) {
    if (verbose) printFailure("Could not open SCManager.", GetLastError());
    return 1;
  }
  const UniqueServiceHandle service = openService(manager, name, DELETE);
  if (!service || !DeleteService(service.get())) {
    if (verbose) printFailure("Could not delete service.", GetLastError());
    return 1;
  }
  removeEventSource(name);
  if (verbose) std::printf("Uninstalled service '%s'.\n", utf8InAnsi(name).c_str());
  return 0;
}

namespace {
enum class StartOutcome { Running, Ended, StillPending, QueryFailed };

// Follows a start: pending as long as the checkpoints advance within their
// wait hints, then running for the watch time.
StartOutcome followStart(SC_HANDLE service, unsigned watchSeconds, SERVICE_STATUS& status) {
  if (!QueryServiceStatus(service, &status)) return StartOutcome::QueryFailed;
  bool hung = false;
  if (!followPending(service, SERVICE_START_PENDING, status, hung)) return StartOutcome::QueryFailed;
  if (hung) return StartOutcome::StillPending;
  const DWORD watchEnd = GetTickCount() + watchSeconds * 1000;
  while (status.dwCurrentState == SERVICE_RUNNING && static_cast<LONG>(watchEnd - GetTickCount()) > 0) {
    Sleep(kStatusPollMilliseconds);
    if (!QueryServiceStatus(service, &status)) return StartOutcome::QueryFailed;
  }
  return status.dwCurrentState == SERVICE_RUNNING ? StartOutcome::Running : StartOutcome::Ended;
}

// Said when the service's log is not where its configuration puts it.
std::string fallbackNote(const ServiceLogPlaces& places, const std::string& read) {
  if (read == places.configured) return {};
  return "The service log is in the fallback folder: " + read + " (" + places.configured + " could not be written).";
}

void printServiceLogReason(const ServiceLogPlaces& places) {
  const std::string logPath = serviceLogToRead(places);
  if (const std::string note = fallbackNote(places, logPath); !note.empty()) std::fprintf(stderr, "%s\n", note.c_str());
  const std::vector<std::string> lines = lastServiceLogLines(logPath, kReasonLines);
  if (lines.empty()) {
    std::fprintf(stderr, "The service log %s holds nothing about it.\n", logPath.c_str());
    return;
  }
  std::fprintf(stderr, "The last lines of the service log %s:\n", logPath.c_str());
  for (const std::string& line : lines) std::fprintf(stderr, "  %s\n", line.c_str());
}

int reportStartOutcome(const std::string& name, StartOutcome outcome, const SERVICE_STATUS& status,
                       const StartWatch& watch) {
  switch (outcome) {
    case StartOutcome::Running:
      if (watch.readinessChecked) std::printf("Service '%s' is ready.\n", utf8InAnsi(name).c_str());
      return 0;
    case StartOutcome::QueryFailed: {
      printFailure("Could not get status.", GetLastError());
      return 1;
    }
    case StartOutcome::StillPending:
      std::printf("Service '%s' is still starting.\n", utf8InAnsi(name).c_str());
      break;
    case StartOutcome::Ended:
      std::printf("Service '%s' stopped while starting.\n", utf8InAnsi(name).c_str());
      std::fflush(stdout);
      const bool specific = status.dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR;
      if (specific && status.dwServiceSpecificExitCode == kExitCodeNotReady) {
        std::fprintf(stderr, "The application did not become ready in time (service-specific code %lu).\n",
                     static_cast<unsigned long>(kExitCodeNotReady));
      } else if (specific && status.dwServiceSpecificExitCode == kExitCodePreStartFailed) {
        std::fprintf(stderr, "The pre_start hook failed, so the application was not started (service-specific code %lu).\n",
                     static_cast<unsigned long>(kExitCodePreStartFailed));
      } else if (specific) {
        std::fprintf(stderr, "The application ended with exit code %lu.\n",
                     static_cast<unsigned long>(status.dwServiceSpecificExitCode));
      } else if (status.dwWin32ExitCode != 0) {
        std::fprintf(stderr, "%s\n", systemErrorText(status.dwWin32ExitCode).c_str());
      }
      break;
  }
  std::fflush(stdout);
  printServiceLogReason(watch.serviceLog);
  std::fflush(stderr);
  return 1;
}

// The manager refuses a start while the service still stops ("already
// running"): the stop is followed to its end, and then the service started.
// Wine's manager also refuses it for a moment after the stop, while the old
// process is still going away. True when the service can be started now.
bool waitUntilStartable(SC_HANDLE service, const std::string& name, DWORD& waitedUntil) {
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service, &status)) return false;
  if (status.dwCurrentState == SERVICE_STOP_PENDING) {
    std::printf("Service '%s' is stopping; it is started once it has stopped.\n", utf8InAnsi(name).c_str());
    std::fflush(stdout);
    bool hung = false;
    if (!followPending(service, SERVICE_STOP_PENDING, status, hung) || hung) return false;
  }
  if (status.dwCurrentState != SERVICE_STOPPED) return false;
  if (waitedUntil == 0) waitedUntil = GetTickCount() + kStoppedProcessGraceMs;
  if (static_cast<LONG>(waitedUntil - GetTickCount()) <= 0) return false;
  Sleep(kStatusPollMilliseconds);
  return true;
}
}  // namespace

int startService(const std::string& name, const StartWatch& watch) {
  const UniqueServiceHandle manager = openManager(SC_MANAGER_CONNECT);
  if (!manager) {
    printFailure("Could not open SCManager.", GetLastError());
    return 1;
  }
  const UniqueServiceHandle service = openService(manager, name, SERVICE_START | SERVICE_QUERY_STATUS);
  DWORD error = GetLastError();
  DWORD graceEnd = 0;
  while (service) {
    if (StartServiceA(service.get(), 0, nullptr)) {
      std::printf("Starting service '%s'.\n", utf8InAnsi(name).c_str());
      std::fflush(stdout);
      SERVICE_STATUS status{};
      const StartOutcome outcome = followStart(service.get(), watch.readinessChecked ? 0 : watch.seconds, status);
      return reportStartOutcome(name, outcome, status, watch);
    }
    error = GetLastError();
    if (error != ERROR_SERVICE_ALREADY_RUNNING || !waitUntilStartable(service.get(), name, graceEnd)) break;
  }
  SERVICE_STATUS status{};
  if (error == ERROR_SERVICE_ALREADY_RUNNING && QueryServiceStatus(service.get(), &status)) {
    if (status.dwCurrentState == SERVICE_RUNNING || status.dwCurrentState == SERVICE_START_PENDING) {
      std::printf("Service is already running.\n");
      return 0;
    }
    std::printf("Could not start service: it is %s.\n", stateText(status.dwCurrentState));
    if (status.dwCurrentState == SERVICE_STOP_PENDING) {
      std::fprintf(stderr, "Its stop made no progress within its wait hint (checkpoint %lu).\n",
                   static_cast<unsigned long>(status.dwCheckPoint));
    }
    return 1;
  }
  std::printf("Could not start service. Error code: %d\n", static_cast<int>(error));
  printReason(error);
  return 1;
}

namespace {
enum class StopResult { NotAsked, Stopped, Failed };

// Asks for the stop and follows it to its end; NotAsked when the service
// would not take the request (not running, missing), said only when verbose.
StopResult stopAndFollow(const std::string& name, bool verbose) {
  const UniqueServiceHandle manager = openManager(SC_MANAGER_CONNECT);
  if (!manager) {
    if (verbose) printFailure("Could not open SCManager.", GetLastError());
    return StopResult::NotAsked;
  }
  const UniqueServiceHandle service = openService(manager, name, SERVICE_STOP | SERVICE_QUERY_STATUS);
  SERVICE_STATUS status{};
  if (!service || !ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
    const DWORD error = GetLastError();
    // A stop that is under way already (another /stop, a shutdown) is followed as well.
    const bool stopping = service && error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL &&
                          QueryServiceStatus(service.get(), &status) &&
                          status.dwCurrentState == SERVICE_STOP_PENDING;
    if (!stopping) {
      if (verbose) printFailure("Could not stop service.", error);
      return StopResult::NotAsked;
    }
  }
  // Shown before a wait that can take the service's whole stop.
  std::printf("Stopping service '%s'.\n", utf8InAnsi(name).c_str());
  std::fflush(stdout);
  return followStop(service.get(), status) == 0 ? StopResult::Stopped : StopResult::Failed;
}
}  // namespace

int stopService(const std::string& name, bool verbose) {
  return stopAndFollow(name, verbose) == StopResult::Stopped ? 0 : 1;
}

int restartService(const std::string& name, const StartWatch& watch) {
  if (stopAndFollow(name, /*verbose=*/false) == StopResult::Failed) return 1;
  return startService(name, watch);
}

int queryServiceStatus(const std::string& name, const ServiceLogPlaces& serviceLog) {
  const UniqueServiceHandle manager = openManager(SC_MANAGER_CONNECT);
  if (!manager) {
    printFailure("Could not open SCManager.", GetLastError());
    return 1;
  }
  const UniqueServiceHandle service = openService(manager, name, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS);
  SERVICE_STATUS status{};
  if (!service || !QueryServiceStatus(service.get(), &status)) {
    printFailure("Could not get status.", GetLastError());
    return 1;
  }
  const bool running = status.dwCurrentState == SERVICE_RUNNING;
  std::fputs(running ? "Running.\n" : "Not running.\n", stdout);
  const std::string logPath = serviceLogToRead(serviceLog);
  printRunFacts(serviceRunFacts(logPath), running);
  if (const std::string note = fallbackNote(serviceLog, logPath); !note.empty()) std::printf("%s\n", note.c_str());
  return reportConfiguration(service.get(), running ? 0 : 3);
}

}  // namespace runvo
