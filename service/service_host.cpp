// The service host: keeps the service protocol and runs the application in
// a child copy of this executable, which gets the stop line on its standard
// input and whose output goes to the service log.
#include "service/service_host.h"

#include <cstdio>
#include <memory>
#include <mutex>

#include "diag/console_events.h"
#include "diag/log.h"
#include "payload/extraction_names.h"
#include "payload/temp_dirs.h"
#include "service/child_process.h"
#include "util/paths.h"
#include "service/event_log.h"
#include "service/health_probe.h"
#include "service/host_rules.h"
#include "service/restart_rules.h"
#include "service/service_hooks.h"
#include "service/service_log.h"
#include "util/unique_handle.h"
#include "util/win_text.h"

namespace runvo {

namespace {
constexpr DWORD kPumpBufferSize = 8192;
constexpr DWORD kCheckpointInterval = 1000;
constexpr DWORD kOutputDrainMs = 2000;
constexpr DWORD kTreeEndPollMs = 50;
// A readiness check is tried this often, and a check never takes longer
// than its time-out, so that a stop or the child's end is seen soon.
constexpr DWORD kReadyPollMs = 250;
constexpr DWORD kProbeTimeoutMs = 2000;
// How long a hung application has to write its threads' stacks before its tree is ended.
constexpr DWORD kThreadDumpGraceMs = 3000;
constexpr char kPriorityKey[] = "SOFTWARE\\tallowmere-soft\\runvo\\priority";

// Shared by service main, the control handler and the output pump: each
// status change and its report is one step under the lock, and the stop line
// goes out at most once, however early it was asked for.
struct Host {
  HostContext context;
  // Set by service main before anything else runs.
  std::string serviceName;
  std::unique_ptr<ServiceLog> log;
  std::mutex lock;
  HostStatus status;
  SERVICE_STATUS_HANDLE statusHandle = nullptr;
  UniqueHandle stopLineWriteEnd;
  bool stopRequested = false;
  DWORD stopRequestedAt = 0;
  std::uint32_t restarts = 0;
  // The current run's search for the readiness line, with a "log:" check.
  std::optional<OutputLineMatcher> readyLine;
  // Set with the first stop request: ends a wait between two runs at once.
  UniqueHandle stopEvent{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

Host& host() {
  static Host h;
  return h;
}

const char* stateName(std::uint32_t state) {
  switch (state) {
    case kStateStopped: return "stopped";
    case kStateStartPending: return "start pending";
    case kStateStopPending: return "stop pending";
    case kStateRunning: return "running";
    default: return "other";
  }
}

bool reportLocked(Host& h) {
  SERVICE_STATUS record{};
  record.dwServiceType = h.status.serviceType;
  record.dwCurrentState = h.status.state;
  record.dwControlsAccepted = h.status.controlsAccepted;
  record.dwWin32ExitCode = h.status.win32ExitCode;
  record.dwServiceSpecificExitCode = h.status.serviceSpecificExitCode;
  record.dwCheckPoint = h.status.checkPoint;
  record.dwWaitHint = h.status.waitHint;
  return SetServiceStatus(h.statusHandle, &record) != FALSE;
}

void logState(Host& h) {
  if (!h.log) return;
  std::string line = std::string("state: ") + stateName(h.status.state);
  if (h.status.win32ExitCode != 0) {
    line += " (error " + std::to_string(h.status.win32ExitCode) + ", service-specific code " +
            std::to_string(h.status.serviceSpecificExitCode) + ")";
  }
  h.log->line(line);
}

// Sends the stop line now, or as soon as the child exists.
void requestStopLocked(Host& h) {
  writeLog("sending shutdown %d", 0);
  if (!h.stopRequested) h.stopRequestedAt = GetTickCount();
  h.stopRequested = true;
  SetEvent(h.stopEvent.get());
  if (h.stopLineWriteEnd) {
    sendStopLine(h.stopLineWriteEnd);
    if (h.log) h.log->line("stop line sent");
  }
  writeLog("shutdown sent");
}

DWORD WINAPI controlHandler(DWORD control, DWORD, LPVOID, LPVOID) {
  writeLog("control handler request %d", static_cast<int>(control));
  Host& h = host();
  std::lock_guard guard(h.lock);
  const bool alreadyStopping = h.stopRequested;
  const ControlOutcome outcome = applyControl(h.status, control, h.context.settings.stopTimeoutMs);
  if (!reportLocked(h)) writeLog(outcome.reportFailureLog, static_cast<int>(GetLastError()));
  if (outcome.sendStopLine && !alreadyStopping) {
    const char* what = control == kControlShutdown      ? "shutdown requested"
                       : control == kControlPreshutdown ? "pre-shutdown requested"
                                                        : "stop requested";
    if (h.log) h.log->line(what);
    requestStopLocked(h);
  }
  return NO_ERROR;
}

enum class ChildEnd { ByItself, TreeEnded, Hung };

// How a run ended: the code the service reports and, for an end that the
// host made because the application did not serve (or was not started),
// what the event log says; null for an end of the application's own.
struct RunEnd {
  DWORD code = 0;
  const char* notServing = nullptr;
};

// The watchdog of a running application: a liveness check every interval,
// and so many failures in a row mean that the application hangs.
class Watchdog {
 public:
  explicit Watchdog(const ServiceSettings& settings)
      : check_(settings.alive), intervalMs_(settings.aliveIntervalMs), liveness_(settings.aliveFailures),
        lastCheck_(GetTickCount64()) {}

  // Runs a check when one is due; true when the application counts as hung,
  // with what the last check saw in `detail`.
  bool hangs(std::string& detail) {
    if (!check_ || GetTickCount64() - lastCheck_ < intervalMs_) return false;
    const ProbeResult probe = probeServes(*check_, kProbeTimeoutMs);
    lastCheck_ = GetTickCount64();
    detail = probe.detail;
    return liveness_.checked(probe.serves);
  }
  std::uint32_t failuresInARow() const { return liveness_.failuresInARow(); }

 private:
  std::optional<HealthCheck> check_;
  std::uint32_t intervalMs_;
  LivenessWatch liveness_;
  std::uint64_t lastCheck_;
};

// A hung application gets the chance to say where it hangs (the Java side
// writes every thread's stack to the service log), then its tree is ended.
void endHungApplication(Host& h, const ChildProcess& child, const Watchdog& watchdog, const std::string& detail) {
  const std::string what = "the application did not answer " + std::to_string(watchdog.failuresInARow()) +
                           " liveness checks in a row (" + detail + ")";
  if (h.log) h.log->line(what + ": asking for a thread dump, then ending its process tree");
  writeEventLogError(h.serviceName, "Service '" + utf8InAnsi(h.serviceName) + "': " + what + ".");
  {
    std::lock_guard guard(h.lock);
    sendThreadDumpRequest(h.stopLineWriteEnd);
  }
  WaitForSingleObject(child.process.get(), kThreadDumpGraceMs);
  endProcessTree(child);
}

// Ends the tree once the stop timeout has passed; true when it did.
bool stopTimeoutPassed(Host& h, const ChildProcess& child) {
  if (advanceStopCheckpoint(h.status, GetTickCount() - h.stopRequestedAt, h.context.settings.stopTimeoutMs)) {
    reportLocked(h);
    return false;
  }
  writeLog("the child did not end within %u ms after the stop line: ending its process tree",
           static_cast<unsigned>(h.context.settings.stopTimeoutMs));
  if (h.log) {
    h.log->line("the application did not end within " + std::to_string(h.context.settings.stopTimeoutMs / 1000) +
                " s after the stop line: ending its process tree");
  }
  endProcessTree(child);
  return true;
}

// Waits for the child; after the stop line, for at most the stop timeout,
// reporting progress, and then ends its whole tree. Until a stop, the
// watchdog checks that the application still serves.
ChildEnd waitForChildEnd(Host& h, const ChildProcess& child) {
  Watchdog watchdog(h.context.settings);
  while (WaitForSingleObject(child.process.get(), kCheckpointInterval) == WAIT_TIMEOUT) {
    {
      std::lock_guard guard(h.lock);
      if (h.stopRequested) {
        if (stopTimeoutPassed(h, child)) return ChildEnd::TreeEnded;
        continue;
      }
    }
    std::string detail;
    if (watchdog.hangs(detail)) {
      endHungApplication(h, child, watchdog, detail);
      return ChildEnd::Hung;
    }
  }
  return ChildEnd::ByItself;
}

// Polls `done` for at most the tree-end allowance, telling the manager that
// the stop makes progress meanwhile. Whether `done` came true.
template <typename Condition>
bool waitDuringTreeEnd(Host& h, Condition done) {
  const DWORD start = GetTickCount();
  DWORD lastReport = start;
  while (!done()) {
    const DWORD now = GetTickCount();
    if (now - start >= kTreeEndAllowanceMs) return false;
    if (now - lastReport >= kCheckpointInterval) {
      lastReport = now;
      std::lock_guard guard(h.lock);
      if (h.status.state == kStateStopPending) {
        advanceTreeEndCheckpoint(h.status);
        reportLocked(h);
      }
    }
    Sleep(kTreeEndPollMs);
  }
  return true;
}

// The child's extraction directory goes before the service reports stopped,
// so that a stopped service leaves nothing in the temporary folder. A tree
// that was ended may hold its directory for a moment after its end.
void removeExtractionDirectories(Host& h, ChildEnd end) {
  const std::string ownerId = executableOwnerId(modulePath());
  if (end == ChildEnd::ByItself) {
    removeStaleExtractionDirectories(ownerId);
    return;
  }
  if (!waitDuringTreeEnd(h, [&] { return removeStaleExtractionDirectories(ownerId) == 0; }) && h.log) {
    h.log->line("an extraction directory of this executable is still in use; the next start removes it");
  }
}

DWORD WINAPI pumpOutput(LPVOID readEnd) {
  writeLog("consuming output");
  UniqueHandle pipe(static_cast<HANDLE>(readEnd));
  ServiceLog* log = host().log.get();
  char buffer[kPumpBufferSize];
  DWORD got = 0;
  Host& h = host();
  while (ReadFile(pipe.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    if (log) log->output(std::string_view(buffer, got));
    std::lock_guard guard(h.lock);
    if (h.readyLine) h.readyLine->feed(std::string_view(buffer, got));
  }
  if (log) log->finishOutput();
  writeLog("consuming output done");
  return 0;
}

// The configured priority; without one, the machine's registry value for
// the service, else normal.
DWORD priorityClass() {
  if (const auto configured = host().context.settings.priorityClass) return *configured;
  DWORD priority = NORMAL_PRIORITY_CLASS;
  UniqueHKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPriorityKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return priority;
  const std::wstring name = fromUtf8(host().serviceName);
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) ==
          ERROR_SUCCESS &&
      size == sizeof value) {
    if (isPriorityClass(value)) {
      writeLog("using priority %d", static_cast<int>(value));
      priority = value;
    } else {
      writeLog("ignoring priority %d: not a priority class", static_cast<int>(value));
    }
  }
  return priority;
}

void reportStartFailed(const Failure& failure) {
  Host& h = host();
  if (h.log) {
    h.log->line("the child could not be started: " + failure.step + ": " + systemErrorText(failure.systemError));
  }
  std::lock_guard guard(h.lock);
  markStartFailed(h.status);
  reportLocked(h);
  logState(h);
}

std::optional<WideString> commandLineFor(DWORD argc, LPWSTR* argv) {
  ArgumentVector startParameters;
  for (DWORD i = 1; i < argc; ++i) startParameters.emplace_back(asPortable(argv[i]));
  const std::wstring name = fromUtf8(host().serviceName);
  return childCommandLine(host().context.hostArguments, asPortable(name), startParameters);
}

enum class StartEnd { Ready, ChildEnded, StopAsked, NotReadyInTime };

// The readiness check against what the application does now.
ProbeResult checkReadiness(Host& h, const HealthCheck& check) {
  if (check.kind != HealthCheck::Kind::Log) return probeServes(check, kProbeTimeoutMs);
  std::lock_guard guard(h.lock);
  return {h.readyLine && h.readyLine->matched(), "a line of its output holds \"" + check.text + "\""};
}

// Running from now on; after a restart the service was running all along,
// and the log says that the application serves again.
void markReady(Host& h, const std::string& how) {
  std::lock_guard guard(h.lock);
  if (markChildReady(h.status)) {
    reportLocked(h);
    logState(h);
    if (h.log && h.context.settings.ready) h.log->line("ready: " + how);
  } else if (h.restarts > 0 && h.log) {
    h.log->line("the application serves again after restart " + std::to_string(h.restarts) + ": " + how);
  }
}

// Start pending, with rising checkpoints, until the application's main is
// being called and, with a readiness check, the check succeeds; or until
// the child ends, a stop comes, or the readiness timeout passes.
StartEnd waitUntilReady(Host& h, const ChildProcess& child) {
  const std::optional<HealthCheck>& ready = h.context.settings.ready;
  const ReadinessWatch watch(h.context.settings.readyTimeoutMs, GetTickCount64());
  const HANDLE events[] = {child.readyEvent.get(), child.process.get()};
  bool mainCalled = false;
  for (;;) {
    if (mainCalled) {
      // The child ended, or the wait failed: the end is handled next.
      if (WaitForSingleObject(child.process.get(), kReadyPollMs) != WAIT_TIMEOUT) return StartEnd::ChildEnded;
    } else {
      const DWORD which = WaitForMultipleObjects(2, events, FALSE, kCheckpointInterval);
      if (which == WAIT_OBJECT_0) {
        mainCalled = true;
      } else if (which != WAIT_TIMEOUT) {
        return StartEnd::ChildEnded;
      }
    }
    {
      std::lock_guard guard(h.lock);
      if (h.stopRequested) return StartEnd::StopAsked;  // the stop timeout applies from here
    }
    if (mainCalled && !ready) {
      markReady(h, "main is being called");
      return StartEnd::Ready;
    }
    const ProbeResult probe = mainCalled ? checkReadiness(h, *ready) : ProbeResult{false, "main was not called yet"};
    const ReadinessWatch::Verdict verdict = ready ? watch.checked(probe.serves, GetTickCount64())
                                                  : ReadinessWatch::Verdict::Waiting;
    if (verdict == ReadinessWatch::Verdict::Ready) {
      markReady(h, probe.detail);
      return StartEnd::Ready;
    }
    if (verdict == ReadinessWatch::Verdict::TimedOut) {
      if (h.log) {
        h.log->line("the application was not ready within " + std::to_string(h.context.settings.readyTimeoutMs / 1000) +
                    " s: " + probe.detail + "; ending its process tree");
      }
      return StartEnd::NotReadyInTime;
    }
    std::lock_guard guard(h.lock);
    if (advanceStartCheckpoint(h.status)) reportLocked(h);
  }
}

// The failure that the Windows event log gets when the application ended
// with a failure of its own, or did not serve.
void reportFailure(Host& h, const std::string& what) {
  std::string text = "Service '" + utf8InAnsi(h.serviceName) + "' failed: " + what + ".";
  if (h.log) {
    for (const std::string& line : lastServiceLogLines(h.log->path(), 8)) text += "\n" + line;
    text += "\nService log: " + h.log->path();
    h.log->line("event log: " + text.substr(0, text.find('\n')));
  }
  writeEventLogError(h.serviceName, text);
}

// Waits for the end of the child's tree and its output, removes its
// extraction directory, and returns its exit code.
DWORD collectChild(Host& h, ChildProcess& child, UniqueHandle& pump, ChildEnd end) {
  if (end == ChildEnd::TreeEnded && !waitDuringTreeEnd(h, [&] { return treeHasEnded(child); })) {
    writeLog("the child's process tree has not ended within %u ms", static_cast<unsigned>(kTreeEndAllowanceMs));
  }
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(child.process.get(), &exitCode)) exitCode = 0;
  writeLog("process terminated with exit code %d", static_cast<int>(exitCode));
  // The child's last output, unless something it started still holds the pipe.
  if (pump) WaitForSingleObject(pump.get(), kOutputDrainMs);
  pump.reset();
  if (h.log) h.log->line(std::string(kChildExitLine) + std::to_string(exitCode));
  child.process.reset();
  {
    std::lock_guard guard(h.lock);
    h.stopLineWriteEnd.reset();
  }
  removeExtractionDirectories(h, end);
  return exitCode;
}

// Both the service log and the event log get the restart.
void announceRestart(Host& h, DWORD exitCode, const RestartDecision& decision) {
  const std::string text = "the application ended with exit code " + std::to_string(exitCode) + "; restart " +
                           std::to_string(decision.number) + " in " + std::to_string(decision.delayMs / 1000) + "." +
                           std::to_string(decision.delayMs % 1000 / 100) + " s";
  if (h.log) h.log->line(text);
  writeEventLogError(h.serviceName, "Service '" + utf8InAnsi(h.serviceName) + "': " + text + ".");
}

// The delay before a restart; the service stays running to the manager.
// False when a stop came meanwhile.
bool waitBeforeRestart(Host& h, const RestartDecision& decision) {
  if (WaitForSingleObject(h.stopEvent.get(), decision.delayMs) == WAIT_OBJECT_0) {
    if (h.log) h.log->line("stop requested during the restart delay: no restart");
    return false;
  }
  if (h.log) h.log->line(std::string(kRestartLine) + std::to_string(decision.number) + ")");
  return true;
}

// The last report: once the service reports stopped, the dispatcher
// returns and the process ends.
// `notServing`: why the host ended the application, which did not serve;
// null for an end of the application's own.
[[noreturn]] void reportEnd(Host& h, DWORD exitCode, RestartDecision::Action action, const char* notServing) {
  {
    std::lock_guard guard(h.lock);
    const bool beforeMain = h.status.state == kStateStartPending;
    if (action == RestartDecision::Action::GiveUp) {
      markGaveUp(h.status, exitCode);
    } else {
      markChildEnded(h.status, exitCode);
    }
    // Said before the final report, so that whoever waits for it finds the reason.
    if (h.status.win32ExitCode != 0) {
      if (h.log && action == RestartDecision::Action::GiveUp) {
        h.log->line("giving up after " + std::to_string(h.restarts) + (h.restarts == 1 ? " restart" : " restarts") +
                    " without a healthy run: the service stops with the application's exit code");
      } else if (h.log && !notServing) {
        h.log->line(beforeMain ? "the application ended before its main was called"
                               : "the application ended on its own with a failure");
      }
      reportFailure(h, notServing ? notServing : "the application ended with exit code " + std::to_string(exitCode));
    }
    logState(h);
    if (!reportLocked(h)) writeLog("SetServiceStatus 10 failed %d", static_cast<int>(GetLastError()));
    writeLog("service stopped set");
  }
  writeLog("exiting");
  h.context.endProcess(0);
}

// Processors that the machine lacks cannot be given: said in the service log.
void logAffinityNotApplied(Host& h, const ChildProcess& child) {
  const std::uint64_t wanted = h.context.settings.affinityMask;
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (wanted == 0 || !GetProcessAffinityMask(child.process.get(), &process, &system) || process == wanted) return;
  char text[160];
  std::snprintf(text, sizeof text, "cpu_affinity asks for processors 0x%llx; this machine has 0x%llx: it runs on 0x%llx",
                static_cast<unsigned long long>(wanted), static_cast<unsigned long long>(system),
                static_cast<unsigned long long>(process));
  h.log->line(text);
}

// A new child with its pipes handed over; false (reported) when it cannot be started.
bool startApplication(Host& h, const std::wstring& commandLine, ChildProcess& child, UniqueHandle& pump) {
  auto started = startChild(commandLine, priorityClass() | DETACHED_PROCESS, ChildOutput::Pipe,
                            h.context.settings.affinityMask);
  // A child without its pipes cannot be run: that is reported like a failed start.
  if (!started) {
    reportStartFailed(started.error());
    return false;
  }
  child = std::move(*started);
  h.log->line(std::string(kChildProcessLine) + std::to_string(child.processId));
  logAffinityNotApplied(h, child);
  {
    std::lock_guard guard(h.lock);
    h.stopLineWriteEnd = std::move(child.stopLineWriteEnd);
    if (h.stopRequested) requestStopLocked(h);
    const std::optional<HealthCheck>& ready = h.context.settings.ready;
    if (ready && ready->kind == HealthCheck::Kind::Log) h.readyLine.emplace(ready->text);
  }
  pump.reset(CreateThread(nullptr, 0, pumpOutput, child.outputReadEnd.get(), 0, nullptr));
  if (pump) child.outputReadEnd.release();
  return true;
}

// While a hook runs, a pending start or stop goes on advancing, so that
// the manager and whoever follows it keep waiting.
void keepPendingStatusAdvancing(Host& h) {
  std::lock_guard guard(h.lock);
  if (h.status.state == kStateStartPending) {
    if (advanceStartCheckpoint(h.status)) reportLocked(h);
  } else if (h.status.state == kStateStopPending) {
    advanceTreeEndCheckpoint(h.status);
    reportLocked(h);
  }
}

// True when the hook is not configured, or ran and succeeded.
bool runConfiguredHook(Host& h, std::string_view name, const std::vector<std::string>& words) {
  if (words.empty()) return true;
  const Hook hook{.name = name, .words = words, .timeoutMs = h.context.settings.hookTimeoutMs};
  return runHook(hook, h.context.launcherDirectory, *h.log, [&h] { keepPendingStatusAdvancing(h); });
}

// One run of the application between its hooks; none when the child could
// not be started (reported).
std::optional<RunEnd> runOnce(Host& h, const std::wstring& commandLine) {
  if (!runConfiguredHook(h, "pre_start", h.context.settings.preStartHook)) {
    h.log->line("the pre_start hook failed: the application is not started");
    return RunEnd{kExitCodePreStartFailed, "the pre_start hook failed"};
  }
  ChildProcess child;
  UniqueHandle pump;
  if (!startApplication(h, commandLine, child, pump)) return std::nullopt;
  std::optional<RunEnd> notServing;
  ChildEnd end = ChildEnd::TreeEnded;
  if (waitUntilReady(h, child) == StartEnd::NotReadyInTime) {
    endProcessTree(child);
    notServing = RunEnd{kExitCodeNotReady, "the application did not become ready in time"};
  } else {
    end = waitForChildEnd(h, child);
    if (end == ChildEnd::Hung) notServing = RunEnd{kExitCodeHung, "the application stopped answering"};
  }
  const DWORD childExitCode = collectChild(h, child, pump, end);
  // A failing post-stop hook is said in the log; the run's end stands as it is.
  runConfiguredHook(h, "post_stop", h.context.settings.postStopHook);
  return notServing.value_or(RunEnd{childExitCode});
}

// Runs the application, and again by the restart policy, until a stop, an
// end that stands, or the give-up.
void runApplication(Host& h, const std::wstring& commandLine) {
  RestartTracker tracker(h.context.settings.restart);
  for (;;) {
    tracker.runStarted(GetTickCount64());
    const std::optional<RunEnd> run = runOnce(h, commandLine);
    if (!run) return;
    bool stopAsked = false;
    bool neverRan = false;
    {
      std::lock_guard guard(h.lock);
      stopAsked = h.stopRequested;
      neverRan = h.status.state == kStateStartPending;
    }
    // A start that never got the application running fails as it is.
    const RestartDecision decision =
        neverRan ? RestartDecision{} : tracker.runEnded(run->code, stopAsked, GetTickCount64());
    h.restarts = tracker.restarts();
    if (decision.action != RestartDecision::Action::Restart) {
      reportEnd(h, run->code, decision.action, run->notServing);
    }
    announceRestart(h, run->code, decision);
    if (!waitBeforeRestart(h, decision)) reportEnd(h, 0, RestartDecision::Action::Stop, nullptr);
  }
}

// A log that cannot be written where it is configured (an account that may
// not write beside the executable) goes to the fallback, and the event log,
// where administrators look first, says where, or why there is none.
void startServiceLog(Host& h) {
  const ServiceLogPlaces places =
      serviceLogPlaces(h.context.launcherDirectory, h.context.serviceLog.folder, utf8InAnsi(h.serviceName));
  h.log = std::make_unique<ServiceLog>(places.configured, h.context.serviceLog);
  h.log->fallBackTo(places.fallback, [name = h.serviceName](const std::string& text) {
    writeEventLogError(name, "Service '" + utf8InAnsi(name) + "': " + text + ".");
  });
}
}  // namespace

void prepareServiceHost(HostContext context) { host().context = std::move(context); }

void WINAPI serviceMain(DWORD argc, LPWSTR* argv) {
  writeLog("service main");
  Host& h = host();
  h.status = startingStatus();
  h.serviceName = toUtf8(asWin(serviceNameArgument(argc, reinterpret_cast<const char16_t* const*>(argv))));
  writeLog("service name is '%s'", h.serviceName.c_str());
  startServiceLog(h);
  h.log->line(std::string(kServiceStartMarker) + ": " + utf8InAnsi(h.serviceName));
  h.statusHandle = RegisterServiceCtrlHandlerExW(fromUtf8(h.serviceName).c_str(), controlHandler, nullptr);
  if (h.statusHandle == nullptr) {
    h.log->line("RegisterServiceCtrlHandler failed: " + systemErrorText(GetLastError()));
    return;
  }
  {
    std::lock_guard guard(h.lock);
    reportLocked(h);
  }

  const auto line = commandLineFor(argc, argv);
  if (!line) {
    h.log->line("a start parameter holds both a double quote and an apostrophe, which the application cannot be "
                "handed unchanged");
    reportStartFailed(textFailure("", "passing the start parameters to the application", ERROR_INVALID_PARAMETER));
    return;
  }
  const std::wstring commandLine(asWin(*line));
  h.log->line("child command line: " + toNarrow(commandLine));
  registerConsoleEventLogger();
  runApplication(h, commandLine);
}

}  // namespace runvo
