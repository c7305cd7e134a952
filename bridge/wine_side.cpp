#include "bridge/wine_side.h"

#include "bridge/standard_streams.h"

#include <semaphore.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

namespace runvo::bridge {

namespace {
// What the C runtime's abort() leaves as a Windows process's exit code.
constexpr int kAbortExitCode = 3;

HINSTANCE& bridgeModule() {
  static HINSTANCE module = nullptr;
  return module;
}

// Wine names drive paths through the prefix's "dosdevices/c:" links; the
// colon there would split a Java path list, so the links are resolved, as
// far as the path exists.
std::string withoutLinks(const std::string& path) {
  if (char* resolved = realpath(path.c_str(), nullptr)) {
    std::string result(resolved);
    std::free(resolved);
    return result;
  }
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return path;
  return withoutLinks(path.substr(0, slash)) + path.substr(slash);
}

std::optional<std::string> exactUnixPath(const std::vector<WCHAR>& windowsPath) {
  char* unixPath = wine_get_unix_file_name(windowsPath.data());
  if (unixPath == nullptr) return std::nullopt;
  std::string result(unixPath);
  HeapFree(GetProcessHeap(), 0, unixPath);
  return withoutLinks(result);
}

// When Wine cannot map the whole path (a folder above the last name is
// missing), the last name is kept as it is, below the parent's Unix path.
std::optional<std::string> unixPathOf(std::vector<WCHAR> windowsPath) {
  if (auto exact = exactUnixPath(windowsPath)) return exact;
  std::size_t cut = windowsPath.size() - 1;  // the terminating zero
  while (cut > 3 && windowsPath[cut - 1] != L'\\' && windowsPath[cut - 1] != L'/') --cut;
  if (cut <= 3) return std::nullopt;
  const int units = static_cast<int>(windowsPath.size() - 1 - cut);
  std::string leaf(static_cast<std::size_t>(units) * 4, '\0');
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, &windowsPath[cut], units, leaf.data(), static_cast<int>(leaf.size()), nullptr, nullptr);
  leaf.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  windowsPath.resize(cut - 1);
  windowsPath.push_back(0);
  auto parent = unixPathOf(std::move(windowsPath));
  if (!parent) return std::nullopt;
  return *parent + "/" + leaf;
}

struct HookState {
  WindowsExitHook exitHook = nullptr;
  WindowsAbortHook abortHook = nullptr;
  sem_t requested;
  std::atomic_flag claimed = ATOMIC_FLAG_INIT;
  bool abort = false;
  int exitCode = 0;
};

HookState& hooks() {
  static HookState* state = new HookState;
  return *state;
}

DWORD WINAPI runHooks(void*) {
  HookState& state = hooks();
  while (sem_wait(&state.requested) != 0 && errno == EINTR) {
  }
  flushStandardStreams();
  if (state.abort) {
    if (state.abortHook != nullptr) state.abortHook();
    TerminateProcess(GetCurrentProcess(), kAbortExitCode);
  }
  if (state.exitHook != nullptr) state.exitHook(state.exitCode);
  ExitProcess(static_cast<UINT>(state.exitCode));
}

[[noreturn]] void handOver(bool abort, int code) {
  HookState& state = hooks();
  if (!state.claimed.test_and_set()) {
    state.abort = abort;
    state.exitCode = code;
    sem_post(&state.requested);
  }
  // The hook thread ends the process; a second request just waits for that.
  for (;;) pause();
}
}  // namespace

std::optional<std::string> unixPathOfUtf16(std::u16string_view windowsPath) {
  std::vector<WCHAR> path(windowsPath.begin(), windowsPath.end());
  path.push_back(0);
  return unixPathOf(std::move(path));
}

std::optional<std::string> unixPathOfAnsi(std::string_view windowsPath) {
  if (windowsPath.empty()) return std::nullopt;
  const int size = static_cast<int>(windowsPath.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, windowsPath.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::vector<WCHAR> path(length + 1, 0);
  MultiByteToWideChar(CP_ACP, 0, windowsPath.data(), size, path.data(), length);
  return unixPathOf(std::move(path));
}

std::optional<std::string> lineBesideModule(const char* fileName) {
  WCHAR modulePath[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(bridgeModule(), modulePath, std::size(modulePath));
  if (length == 0 || length >= std::size(modulePath)) return std::nullopt;
  std::vector<WCHAR> path(modulePath, modulePath + length);
  while (!path.empty() && path.back() != L'\\' && path.back() != L'/') path.pop_back();
  for (const char* c = fileName; *c != '\0'; ++c) path.push_back(static_cast<WCHAR>(*c));
  path.push_back(0);
  auto unixPath = exactUnixPath(path);
  if (!unixPath) return std::nullopt;
  FILE* file = std::fopen(unixPath->c_str(), "r");
  if (file == nullptr) return std::nullopt;
  char line[4096];
  const bool read = std::fgets(line, sizeof line, file) != nullptr;
  std::fclose(file);
  if (!read) return std::nullopt;
  std::string text(line);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

void followWindowsCurrentDirectory() {
  WCHAR directory[MAX_PATH * 4];
  const DWORD length = GetCurrentDirectoryW(std::size(directory), directory);
  if (length == 0 || length >= std::size(directory)) return;
  auto unixPath = exactUnixPath(std::vector<WCHAR>(directory, directory + length + 1));
  if (unixPath && chdir(unixPath->c_str()) != 0) {
    std::fprintf(stderr, "jvm.dll bridge: cannot change to %s\n", unixPath->c_str());
  }
}

bool prepareHookThread(WindowsExitHook exitHook, WindowsAbortHook abortHook) {
  static bool prepared = false;
  HookState& state = hooks();
  state.exitHook = exitHook;
  state.abortHook = abortHook;
  if (prepared) return true;
  if (sem_init(&state.requested, 0, 0) != 0) return false;
  HANDLE thread = CreateThread(nullptr, 0, runHooks, nullptr, 0, nullptr);
  if (thread == nullptr) {
    std::fprintf(stderr, "jvm.dll bridge: cannot start the hook thread (error %u)\n",
                 static_cast<unsigned>(GetLastError()));
    return false;
  }
  CloseHandle(thread);
  prepared = true;
  return true;
}

void exitThroughHookThread(int code) { handOver(false, code); }
void abortThroughHookThread() { handOver(true, 0); }

}  // namespace runvo::bridge

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) runvo::bridge::bridgeModule() = instance;
  // Ending the process stopped the relay threads; what Java wrote last still goes out.
  if (reason == DLL_PROCESS_DETACH) runvo::bridge::flushStandardStreams(/*relaysEnded=*/true);
  return TRUE;
}
