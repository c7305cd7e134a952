// java.exe of the bridge's Java home. The launcher runs "java.exe -version"
// to learn a home's version before it loads the home's jvm.dll; here that
// JVM is the host's Linux one, whose "java -version" output the set-up
// script (runvo-java-home) wrote into "java.version" beside this program.
// A Windows program cannot ask the Linux java itself: Wine starts Unix
// programs without tracking them, so their output and exit code never
// reach the caller.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kFailure = 1;

void writeError(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::wstring versionFile() {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring file(path, length < MAX_PATH * 4 ? length : 0);
  file.erase(file.find_last_of(L"\\/") + 1);
  return file + L"java.version";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2 || std::wstring(argv[1]) != L"-version") {
    writeError("This java.exe stands for the host's Linux JVM, which runs inside the program through jvm.dll;\r\n"
               "it only answers -version.\r\n");
    return kFailure;
  }
  FILE* file = _wfopen(versionFile().c_str(), L"r");
  if (file == nullptr) {
    writeError("java.exe: no java.version beside it; lay the Java home out again with runvo-java-home\r\n");
    return kFailure;
  }
  char line[1024];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    // As a Java runtime on Windows ends its lines.
    writeError(text + "\r\n");
  }
  std::fclose(file);
  return 0;
}
