// Ends a Windows process the way an administrator's tool (or a crash) does:
// TerminateProcess with a non-zero exit code, nothing of its own clean-up runs.
// A Unix kill of a process under Wine is no stand-in for that: Wine reports
// such a process as ended with exit code 0.
//
//   end_process PROCESS_ID [EXIT_CODE]     exit code 0 when the process was ended
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: end_process PROCESS_ID [EXIT_CODE]\n");
    return 2;
  }
  const DWORD id = std::strtoul(argv[1], nullptr, 10);
  const UINT code = argc == 3 ? std::strtoul(argv[2], nullptr, 10) : 1;
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
  if (process == nullptr) {
    std::fprintf(stderr, "end_process: no process %lu (error %lu)\n", id, GetLastError());
    return 1;
  }
  const bool ended = TerminateProcess(process, code) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
  if (!ended) std::fprintf(stderr, "end_process: process %lu did not end (error %lu)\n", id, GetLastError());
  CloseHandle(process);
  return ended ? 0 : 1;
}
