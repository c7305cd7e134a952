// Starts programs in turn, round after round, and tells for each run how long
// it took from CreateProcessW to the moment the program noted
// (tests/fixtures/entry_stamp.h), and the peak working set it had then:
//
//   bench_driver ROUNDS LABEL COMMAND_LINE [LABEL COMMAND_LINE]...
//
// prints one line "LABEL MILLISECONDS PEAK_BYTES" per run. A first round that
// is not printed warms what a start finds warm in practice: the file cache,
// the launcher's Java version cache, the wineserver. The programs' own output
// goes to NUL. Exit code 1 when a run noted nothing (its exit code is said on
// standard error), 2 on a wrong command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD kRunTimeoutMs = 10 * 60 * 1000;
// A process's end goes on after its handle is signalled (Wine tears down the
// Unix process and its server state): a start right after it would pay for
// that, and a program would be measured against the one before it.
constexpr DWORD kSettleMs = 100;

struct Program {
  std::wstring label;
  std::wstring commandLine;
};

struct Stamp {
  long long counter = 0;
  unsigned long long peakBytes = 0;
};

std::wstring stampPath() {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder, length > 0 && length < MAX_PATH ? length : 0) + L"runvo-bench.stamp";
}

bool readStamp(const std::wstring& path, Stamp& stamp) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return false;
  const bool read = std::fscanf(file, "%lld %llu", &stamp.counter, &stamp.peakBytes) == 2;
  std::fclose(file);
  return read;
}

HANDLE nulHandle() {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  return CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                     OPEN_EXISTING, 0, nullptr);
}

// The run's time in milliseconds up to its stamp; false when it noted nothing.
bool timeRun(const Program& program, const std::wstring& stampFile, HANDLE nul, double& milliseconds,
             Stamp& stamp) {
  DeleteFileW(stampFile.c_str());
  Sleep(kSettleMs);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = program.commandLine;  // CreateProcessW may write into it
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "bench_driver: cannot start %ls (error %lu)\n", program.commandLine.c_str(),
                 GetLastError());
    return false;
  }
  CloseHandle(process.hThread);
  if (WaitForSingleObject(process.hProcess, kRunTimeoutMs) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  if (!readStamp(stampFile, stamp)) {
    std::fprintf(stderr, "bench_driver: %ls noted nothing (exit code %lu): %ls\n", program.label.c_str(),
                 exitCode, program.commandLine.c_str());
    return false;
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  milliseconds = 1000.0 * static_cast<double>(stamp.counter - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? _wtoi(argv[1]) : 0;
  if (rounds < 1 || argc < 4 || argc % 2 != 0) {
    std::fprintf(stderr, "usage: bench_driver ROUNDS LABEL COMMAND_LINE [LABEL COMMAND_LINE]...\n");
    return 2;
  }
  std::vector<Program> programs;
  for (int i = 2; i + 1 < argc; i += 2) programs.push_back({argv[i], argv[i + 1]});
  const std::wstring stampFile = stampPath();
  SetEnvironmentVariableW(L"RUNVO_BENCH_STAMP", stampFile.c_str());
  HANDLE nul = nulHandle();
  for (int round = 0; round <= rounds; ++round) {
    for (const Program& program : programs) {
      double milliseconds = 0;
      Stamp stamp;
      if (!timeRun(program, stampFile, nul, milliseconds, stamp)) return 1;
      if (round > 0) std::printf("%ls %.2f %llu\n", program.label.c_str(), milliseconds, stamp.peakBytes);
    }
    std::fflush(stdout);
  }
  DeleteFileW(stampFile.c_str());
  return 0;
}
