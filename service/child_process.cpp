#include "service/child_process.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "diag/log.h"
#include "util/win_text.h"

namespace runvo {

namespace {
constexpr DWORD kPriorityClassFlags = IDLE_PRIORITY_CLASS | BELOW_NORMAL_PRIORITY_CLASS | NORMAL_PRIORITY_CLASS |
                                      ABOVE_NORMAL_PRIORITY_CLASS | HIGH_PRIORITY_CLASS | REALTIME_PRIORITY_CLASS;

// An anonymous pipe with only the child's end inheritable.
Status createChildPipe(UniqueHandle& readEnd, UniqueHandle& writeEnd, bool childReads, const char* createFailure,
                       const char* flagFailure) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  if (!CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0)) {
    const DWORD error = GetLastError();
    writeLog(createFailure, static_cast<int>(error));
    return textFailure("", "creating a pipe for the child", error);
  }
  if (!SetHandleInformation(childReads ? writeEnd.get() : readEnd.get(), HANDLE_FLAG_INHERIT, 0)) {
    const DWORD error = GetLastError();
    writeLog(flagFailure, static_cast<int>(error));
    return textFailure("", "creating a pipe for the child", error);
  }
  return done();
}
// A job whose processes end when its last handle closes: the host holds the
// only one, so the child's tree ends with the host, even one killed from outside.
UniqueHandle createKillOnCloseJob() {
  UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
  if (!job) {
    writeLog("CreateJobObject failed with error %d", static_cast<int>(GetLastError()));
    return job;
  }
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    writeLog("SetInformationJobObject failed with error %d", static_cast<int>(GetLastError()));
  }
  return job;
}

// In the job before it runs, so that nothing it starts escapes it; without
// the job (it could not be made or joined) only the process is tracked.
void joinJob(UniqueHandle& job, HANDLE process) {
  if (job && !AssignProcessToJobObject(job.get(), process)) {
    writeLog("AssignProcessToJobObject failed with error %d", static_cast<int>(GetLastError()));
    job.reset();
  }
}

void endJobAndProcess(const UniqueHandle& job, const UniqueHandle& process) {
  if (job) TerminateJobObject(job.get(), 1);
  TerminateProcess(process.get(), 1);
}
}  // namespace

void endProcessTree(const ChildProcess& child) { endJobAndProcess(child.job, child.process); }

bool treeHasEnded(const ChildProcess& child) {
  if (child.job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (QueryInformationJobObject(child.job.get(), JobObjectBasicAccountingInformation, &accounting,
                                  sizeof accounting, nullptr)) {
      return accounting.ActiveProcesses == 0;
    }
  }
  return WaitForSingleObject(child.process.get(), 0) == WAIT_OBJECT_0;
}

Outcome<ChildProcess> startChild(std::wstring commandLine, DWORD creationFlags, ChildOutput output,
                                 std::uint64_t affinityMask) {
  ChildProcess child;
  UniqueHandle outputWrite, stopLineRead;
  if (output == ChildOutput::Pipe) {
    if (auto made = createChildPipe(child.outputReadEnd, outputWrite, false, "CreatePipe error (%d)",
                                    "SetHandleInformation error (%d)");
        !made) {
      return made.takeError();
    }
  }
  if (auto made = createChildPipe(stopLineRead, child.stopLineWriteEnd, true, "CreatePipe error 2 (%d)",
                                  "SetHandleInformation error 2 (%d)");
      !made) {
    return made.takeError();
  }
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  child.readyEvent.reset(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
  if (!child.readyEvent) return textFailure("", "creating the child's ready event", GetLastError());

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = stopLineRead.get();
  startup.hStdOutput = output == ChildOutput::Pipe ? outputWrite.get() : GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = output == ChildOutput::Pipe ? outputWrite.get() : GetStdHandle(STD_ERROR_HANDLE);
  // The child finds the event's handle value in its environment.
  const std::string eventValue = std::to_string(reinterpret_cast<std::uintptr_t>(child.readyEvent.get()));
  SetEnvironmentVariableA(kReadyEventVariable, eventValue.c_str());
  child.job = createKillOnCloseJob();
  PROCESS_INFORMATION started{};
  const BOOL created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                      creationFlags | CREATE_SUSPENDED, nullptr, nullptr, &startup, &started);
  const DWORD error = GetLastError();
  SetEnvironmentVariableA(kReadyEventVariable, nullptr);
  if (!created) {
    writeLog("could not start process %S (%d)", commandLine.c_str(), static_cast<int>(error));
    return textFailure("", "starting the child", error);
  }
  joinJob(child.job, started.hProcess);
  // Also set on its own: Wine takes no priority class from the creation flags.
  if (const DWORD priority = creationFlags & kPriorityClassFlags; priority != 0) {
    SetPriorityClass(started.hProcess, priority);
  }
  if (affinityMask != 0 && !SetProcessAffinityMask(started.hProcess, static_cast<DWORD_PTR>(affinityMask))) {
    writeLog("SetProcessAffinityMask failed with error %d", static_cast<int>(GetLastError()));
  }
  ResumeThread(started.hThread);
  CloseHandle(started.hThread);
  child.process.reset(started.hProcess);
  child.processId = started.dwProcessId;
  return child;
}

Outcome<HelperProcess> startHelperProgram(std::wstring commandLine, const std::wstring& directory) {
  HelperProcess helper;
  UniqueHandle outputWrite, inputRead, inputWrite;
  if (auto made = createChildPipe(helper.outputReadEnd, outputWrite, false, "CreatePipe error 3 (%d)",
                                  "SetHandleInformation error 3 (%d)");
      !made) {
    return made.takeError();
  }
  // Its input ends at once: a program that asks a question gets no answer
  // instead of waiting for one until its time-out.
  if (auto made = createChildPipe(inputRead, inputWrite, true, "CreatePipe error 4 (%d)",
                                  "SetHandleInformation error 4 (%d)");
      !made) {
    return made.takeError();
  }
  inputWrite.reset();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inputRead.get();
  startup.hStdOutput = outputWrite.get();
  startup.hStdError = outputWrite.get();
  helper.job = createKillOnCloseJob();
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW | CREATE_SUSPENDED,
                      nullptr, directory.c_str(), &startup, &started)) {
    return textFailure("", "starting " + toNarrow(commandLine), GetLastError());
  }
  joinJob(helper.job, started.hProcess);
  ResumeThread(started.hThread);
  CloseHandle(started.hThread);
  helper.process.reset(started.hProcess);
  return helper;
}

void endProcessTree(const HelperProcess& helper) { endJobAndProcess(helper.job, helper.process); }

void sendStopLine(UniqueHandle& stopLineWriteEnd) {
  if (!stopLineWriteEnd) return;
  const char line[] = "0\n";
  DWORD written = 0;
  WriteFile(stopLineWriteEnd.get(), line, sizeof line - 1, &written, nullptr);
  // Closing it lets the child read the end of input after the line.
  stopLineWriteEnd.reset();
}

void sendThreadDumpRequest(const UniqueHandle& stopLineWriteEnd) {
  if (!stopLineWriteEnd) return;
  const std::string line = std::string(kThreadDumpLine) + "\n";
  DWORD written = 0;
  WriteFile(stopLineWriteEnd.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

UniqueHandle takeReadyEvent() {
  char value[32];
  const DWORD length = GetEnvironmentVariableA(kReadyEventVariable, value, sizeof value);
  SetEnvironmentVariableA(kReadyEventVariable, nullptr);
  if (length == 0 || length >= sizeof value) return {};
  char* end = nullptr;
  const unsigned long long handle = std::strtoull(value, &end, 10);
  if (end == value || *end != '\0' || handle == 0) return {};
  return UniqueHandle(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handle)));
}

}  // namespace runvo
