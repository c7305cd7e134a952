#include "service/service_hooks.h"

#include <algorithm>
#include <memory>

#include "diag/log.h"
#include "service/child_process.h"
#include "service/service_log.h"
#include "util/command_line.h"
#include "util/win_text.h"

namespace runvo {

namespace {
constexpr DWORD kWaitStepMs = 1000;
constexpr DWORD kOutputDrainMs = 2000;
constexpr DWORD kPumpBufferSize = 4096;

// What the output pump owns; freed by the pump itself, which can outlive a
// wait for it when something beyond the hook's job still holds the pipe.
struct HookOutput {
  UniqueHandle pipe;
  ServiceLog* log;
  std::string prefix;
};

DWORD WINAPI pumpHookOutput(LPVOID parameter) {
  const std::unique_ptr<HookOutput> output(static_cast<HookOutput*>(parameter));
  OutputLines lines;
  char buffer[kPumpBufferSize];
  DWORD got = 0;
  while (ReadFile(output->pipe.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    for (const std::string& line : lines.append(std::string_view(buffer, got))) output->log->line(output->prefix + line);
  }
  for (const std::string& line : lines.finish()) output->log->line(output->prefix + line);
  return 0;
}

WideString commandLineOf(const std::vector<std::string>& words) {
  ArgumentVector arguments;
  for (const std::string& word : words) arguments.push_back(WideString(asPortable(fromUtf8(word))));
  return programCommandLine(arguments);
}

// Waits for the hook's end; false when the time-out came first.
bool waitForEnd(const HelperProcess& helper, std::uint32_t timeoutMs, const std::function<void()>& waiting) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    const DWORD step = static_cast<DWORD>(std::min<ULONGLONG>(kWaitStepMs, deadline - now));
    if (WaitForSingleObject(helper.process.get(), step) != WAIT_TIMEOUT) return true;
    waiting();
  }
}
}  // namespace

bool runHook(const Hook& hook, const std::string& directory, ServiceLog& log, const std::function<void()>& waiting) {
  const std::string name(hook.name);
  const std::wstring commandLine(asWin(commandLineOf(hook.words)));
  log.line("running the " + name + " hook: " + toNarrow(commandLine));
  auto started = startHelperProgram(commandLine, toWide(directory));
  if (!started) {
    log.line("the " + name + " hook could not be started: " + systemErrorText(started.error().systemError));
    return false;
  }
  HelperProcess helper = std::move(*started);
  auto output = std::make_unique<HookOutput>(HookOutput{std::move(helper.outputReadEnd), &log, name + ": "});
  UniqueHandle pump(CreateThread(nullptr, 0, pumpHookOutput, output.get(), 0, nullptr));
  if (pump) {
    output.release();  // the pump's from now on
  } else {
    // Unread, the pipe would fill and stop the hook: closed, its writes fail instead.
    log.line("the " + name + " hook's output cannot be read: " + systemErrorText(GetLastError()));
    output.reset();
  }
  const bool ended = waitForEnd(helper, hook.timeoutMs, waiting);
  // Ends what it left running too, so that the pipe closes and nothing
  // outlives the hook unseen.
  endProcessTree(helper);
  if (pump && WaitForSingleObject(pump.get(), kOutputDrainMs) == WAIT_TIMEOUT) {
    writeLog("the %s hook's output is still open", name.c_str());
  }
  if (!ended) {
    log.line("the " + name + " hook did not end within " + std::to_string(hook.timeoutMs / 1000) + " s: ended it");
    return false;
  }
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(helper.process.get(), &exitCode)) exitCode = GetLastError();
  log.line("the " + name + " hook ended with exit code " + std::to_string(exitCode));
  return exitCode == 0;
}

}  // namespace runvo
