// The service host: keeps the service protocol and runs the application in
// a child copy of this executable, which gets the stop line on its standard
// input and whose output is drained here.
#include "service/service_host.h"

#include <cstdio>
#include <mutex>

#include "diag/console_events.h"
#include "diag/log.h"
#include "service/host_rules.h"
#include "util/unique_handle.h"
#include "util/win_text.h"

namespace runvo {

namespace {
constexpr DWORD kPumpBufferSize = 8192;
constexpr char kPriorityKey[] = "SOFTWARE\\tallowmere-soft\\runvo\\priority";

// Shared by service main and the control handler: each status change and its
// report is one step under the lock, and the stop line goes out at most once.
struct Host {
  HostContext context;
  // Set by service main before anything else runs.
  std::string serviceName;
  std::mutex lock;
  HostStatus status;
  SERVICE_STATUS_HANDLE statusHandle = nullptr;
  UniqueHandle shutdownWriteEnd;
};

Host& host() {
  static Host h;
  return h;
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

void sendShutdownLocked(Host& h, int code) {
  writeLog("sending shutdown %d", code);
  if (h.shutdownWriteEnd) {
    char line[16];
    const int length = std::snprintf(line, sizeof line, "%d\n", code);
    DWORD written = 0;
    WriteFile(h.shutdownWriteEnd.get(), line, static_cast<DWORD>(length), &written, nullptr);
    // Closing it lets the child read the end of input after the line.
    h.shutdownWriteEnd.reset();
  }
  writeLog("shutdown sent");
}

void WINAPI controlHandler(DWORD control) {
  writeLog("control handler request %d", static_cast<int>(control));
  Host& h = host();
  std::lock_guard guard(h.lock);
  const ControlOutcome outcome = applyControl(h.status, control);
  if (!reportLocked(h)) writeLog(outcome.reportFailureLog, static_cast<int>(GetLastError()));
  if (outcome.sendStopLine) sendShutdownLocked(h, 0);
}

DWORD WINAPI pumpOutput(LPVOID readEnd) {
  writeLog("consuming output");
  UniqueHandle pipe(static_cast<HANDLE>(readEnd));
  char buffer[kPumpBufferSize];
  DWORD got = 0;
  while (ReadFile(pipe.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
  }
  writeLog("consuming output done");
  return 0;
}

DWORD priorityClass() {
  DWORD priority = NORMAL_PRIORITY_CLASS;
  UniqueHKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPriorityKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return priority;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExA(key.get(), host().serviceName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) ==
          ERROR_SUCCESS &&
      size == sizeof value) {
    writeLog("using priority %d", static_cast<int>(value));
    priority = value;
  }
  return priority;
}

// An anonymous pipe with only the child's end inheritable.
bool createChildPipe(UniqueHandle& readEnd, UniqueHandle& writeEnd, bool childReads, const char* createFailure,
                     const char* flagFailure) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  if (!CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0)) {
    writeLog(createFailure, static_cast<int>(GetLastError()));
    return false;
  }
  if (!SetHandleInformation(childReads ? writeEnd.get() : readEnd.get(), HANDLE_FLAG_INHERIT, 0)) {
    writeLog(flagFailure, static_cast<int>(GetLastError()));
    return false;
  }
  return true;
}

void reportStartFailed() {
  Host& h = host();
  std::lock_guard guard(h.lock);
  markStartFailed(h.status);
  reportLocked(h);
}

WideString commandLineFor(DWORD argc, LPSTR* argv) {
  ArgumentVector startParameters;
  for (DWORD i = 1; i < argc; ++i) startParameters.emplace_back(asPortable(toWide(argv[i], CP_ACP)));
  const std::wstring name = toWide(host().serviceName, CP_ACP);
  return childCommandLine(host().context.hostArguments, asPortable(name), startParameters);
}

[[noreturn]] void waitForChild(PROCESS_INFORMATION& child) {
  UniqueHandle process(child.hProcess);
  UniqueHandle thread(child.hThread);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process.get(), &exitCode)) exitCode = 0;
  writeLog("process terminated with exit code %d", static_cast<int>(exitCode));
  {
    Host& h = host();
    std::lock_guard guard(h.lock);
    if (markChildEnded(h.status, exitCode)) {
      if (!reportLocked(h)) writeLog("SetServiceStatus 10 failed %d", static_cast<int>(GetLastError()));
      writeLog("service stopped set");
    }
  }
  process.reset();
  thread.reset();
  writeLog("exiting");
  host().context.endProcess(0);
}
}  // namespace

void prepareServiceHost(HostContext context) { host().context = std::move(context); }

void WINAPI serviceMain(DWORD argc, LPSTR* argv) {
  writeLog("service main");
  Host& h = host();
  h.status = HostStatus{};
  h.serviceName = serviceNameArgument(argc, argv);
  writeLog("service name is '%s'", h.serviceName.c_str());
  h.statusHandle = RegisterServiceCtrlHandlerA(h.serviceName.c_str(), controlHandler);
  if (h.statusHandle == nullptr) return;
  {
    std::lock_guard guard(h.lock);
    reportLocked(h);
  }

  std::wstring commandLine(asWin(commandLineFor(argc, argv)));
  UniqueHandle outputRead, outputWrite, shutdownRead, shutdownWrite;
  // A child without its pipes cannot be run: that is reported like a failed start.
  if (!createChildPipe(outputRead, outputWrite, false, "CreatePipe error (%d)", "SetHandleInformation error (%d)") ||
      !createChildPipe(shutdownRead, shutdownWrite, true, "CreatePipe error 2 (%d)",
                       "SetHandleInformation error 2 (%d)")) {
    reportStartFailed();
    return;
  }
  {
    std::lock_guard guard(h.lock);
    h.shutdownWriteEnd = std::move(shutdownWrite);
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = shutdownRead.get();
  startup.hStdOutput = outputWrite.get();
  startup.hStdError = outputWrite.get();
  PROCESS_INFORMATION child{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, priorityClass() | DETACHED_PROCESS,
                      nullptr, nullptr, &startup, &child)) {
    writeLog("could not start process %S (%d)", commandLine.c_str(), static_cast<int>(GetLastError()));
    reportStartFailed();
    return;
  }
  outputWrite.reset();
  shutdownRead.reset();
  if (HANDLE pump = CreateThread(nullptr, 0, pumpOutput, outputRead.get(), 0, nullptr)) {
    outputRead.release();
    CloseHandle(pump);
  }
  {
    std::lock_guard guard(h.lock);
    h.status.state = kStateRunning;
    reportLocked(h);
  }
  registerConsoleEventLogger();
  waitForChild(child);
}

}  // namespace runvo
