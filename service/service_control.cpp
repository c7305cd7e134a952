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
// Enough for a launcher message with its list of rejected runtimes, or the
// top of a stack trace with the host's closing lines.
constexpr std::size_t kReasonLines = 30;

// The configured path may be quoted and may carry arguments after the program.
bool isOwnProgram(const char* configuredPath) {
  std::string_view configured = configuredPath ? configuredPath : "";
  if (!configured.empty() && configured.front() == '"') configured.remove_prefix(1);
  const std::string& own = modulePath();
  return configured.size() >= own.size() && _strnicmp(configured.data(), own.c_str(), own.size()) == 0;
}

// Ends stopped, false on a failed query or when the service stays pending
// longer than its wait hint without advancing its checkpoint.
bool waitForStop(SC_HANDLE service) {
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service, &status)) return false;
  DWORD timerStart = GetTickCount();
  DWORD checkpoint = status.dwCheckPoint;
  while (status.dwCurrentState == SERVICE_STOP_PENDING) {
    Sleep(kStatusPollMilliseconds);
    if (!QueryServiceStatus(service, &status)) return false;
    if (status.dwCheckPoint > checkpoint) {  // progress: the timer starts again
      timerStart = GetTickCount();
      checkpoint = status.dwCheckPoint;
      continue;
    }
    if (GetTickCount() - timerStart > status.dwWaitHint) break;
  }
  return status.dwCurrentState == SERVICE_STOPPED;
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
  if (!isOwnProgram(config->lpBinaryPathName)) {
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
    const DWORD error = GetLastError();
    if (verbose) std::printf("Could not open SCManager.\n");
    if (verbose) printReason(error);
    return 1;
  }
  const UniqueServiceHandle service = openService(manager, name, DELETE);
  if (!service || !DeleteService(service.get())) {
    const DWORD error = GetLastError();
    if (verbose) std::printf("Could not delete service.\n");
    if (verbose) printReason(error);
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
  DWORD timerStart = GetTickCount();
  DWORD checkpoint = status.dwCheckPoint;
  while (status.dwCurrentState == SERVICE_START_PENDING) {
    Sleep(kStatusPollMilliseconds);
    if (!QueryServiceStatus(service, &status)) return StartOutcome::QueryFailed;
    if (status.dwCheckPoint != checkpoint) {
      timerStart = GetTickCount();
      checkpoint = status.dwCheckPoint;
    } else if (GetTickCount() - timerStart > std::max<DWORD>(status.dwWaitHint, 1000)) {
      return StartOutcome::StillPending;
    }
  }
  const DWORD watchEnd = GetTickCount() + watchSeconds * 1000;
  while (status.dwCurrentState == SERVICE_RUNNING && static_cast<LONG>(watchEnd - GetTickCount()) > 0) {
    Sleep(kStatusPollMilliseconds);
    if (!QueryServiceStatus(service, &status)) return StartOutcome::QueryFailed;
  }
  return status.dwCurrentState == SERVICE_RUNNING ? StartOutcome::Running : StartOutcome::Ended;
}

void printServiceLogReason(const std::string& logPath) {
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
    case StartOutcome::Running: return 0;
    case StartOutcome::QueryFailed: {
      const DWORD error = GetLastError();
      std::printf("Could not get status.\n");
      printReason(error);
      return 1;
    }
    case StartOutcome::StillPending:
      std::printf("Service '%s' is still starting.\n", utf8InAnsi(name).c_str());
      break;
    case StartOutcome::Ended:
      std::printf("Service '%s' stopped while starting.\n", utf8InAnsi(name).c_str());
      std::fflush(stdout);
      if (status.dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR) {
        std::fprintf(stderr, "The application ended with exit code %lu.\n",
                     static_cast<unsigned long>(status.dwServiceSpecificExitCode));
      } else if (status.dwWin32ExitCode != 0) {
        std::fprintf(stderr, "%s\n", systemErrorText(status.dwWin32ExitCode).c_str());
      }
      break;
  }
  std::fflush(stdout);
  printServiceLogReason(watch.serviceLogPath);
  std::fflush(stderr);
  return 1;
}
}  // namespace

int startService(const std::string& name, const StartWatch& watch) {
  const UniqueServiceHandle manager = openManager(SC_MANAGER_CONNECT);
  if (!manager) {
    const DWORD error = GetLastError();
    std::printf("Could not open SCManager.\n");
    printReason(error);
    return 1;
  }
  const UniqueServiceHandle service = openService(manager, name, SERVICE_START | SERVICE_QUERY_STATUS);
  if (service && StartServiceA(service.get(), 0, nullptr)) {
    std::printf("Starting service '%s'.\n", utf8InAnsi(name).c_str());
    std::fflush(stdout);
    SERVICE_STATUS status{};
    const StartOutcome outcome = followStart(service.get(), watch.seconds, status);
    return reportStartOutcome(name, outcome, status, watch);
  }
  const DWORD error = GetLastError();
  if (error == ERROR_SERVICE_ALREADY_RUNNING) {
    std::printf("Service is already running.\n");
    return 0;
  }
  std::printf("Could not start service. Error code: %d\n", static_cast<int>(error));
  printReason(error);
  return 1;
}

int stopService(const std::string& name, bool verbose) {
  const UniqueServiceHandle manager = openManager(SC_MANAGER_CONNECT);
  if (!manager) {
    const DWORD error = GetLastError();
    if (verbose) std::printf("Could not open SCManager.\n");
    if (verbose) printReason(error);
    return 1;
  }
  const UniqueServiceHandle service = openService(manager, name, SERVICE_STOP | SERVICE_QUERY_STATUS);
  SERVICE_STATUS status{};
  if (!service || !ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
    const DWORD error = GetLastError();
    if (verbose) std::printf("Could not stop service.\n");
    if (verbose) printReason(error);
    return 1;
  }
  // Shown before a wait that can take the service's whole wait hint.
  std::printf("Stopping service '%s'.\n", utf8InAnsi(name).c_str());
  std::fflush(stdout);
  std::fputs(waitForStop(service.get()) ? "Service stopped\n" : "Error while stopping service\n", stdout);
  return 0;
}

int queryServiceStatus(const std::string& name) {
  const UniqueServiceHandle manager = openManager(SC_MANAGER_CONNECT);
  if (!manager) {
    const DWORD error = GetLastError();
    std::printf("Could not open SCManager.\n");
    printReason(error);
    return 1;
  }
  const UniqueServiceHandle service = openService(manager, name, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS);
  SERVICE_STATUS status{};
  if (!service || !QueryServiceStatus(service.get(), &status)) {
    const DWORD error = GetLastError();
    std::printf("Could not get status.\n");
    printReason(error);
    return 1;
  }
  const bool running = status.dwCurrentState == SERVICE_RUNNING;
  std::fputs(running ? "Running.\n" : "Not running.\n", stdout);
  return reportConfiguration(service.get(), running ? 0 : 3);
}

}  // namespace runvo
