#include "pack/common/platform.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#endif

namespace runvo::pack {

#ifdef _WIN32

Expected<std::filesystem::path> runningExecutablePath() {
  // Long paths can exceed MAX_PATH; grow until the name fits.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      return failure("cannot find the path of runvo-pack itself (error " +
                     std::to_string(GetLastError()) + ")");
    }
    if (length < buffer.size()) return std::filesystem::path(buffer.substr(0, length));
    buffer.resize(buffer.size() * 2);
  }
}

unsigned long currentProcessId() { return GetCurrentProcessId(); }

std::optional<std::filesystem::path> findOnPath(std::string_view) { return std::nullopt; }

Expected<ProgramRun> runProgram(const std::filesystem::path& program, const std::vector<std::string>&,
                                const std::string&) {
  return failure("runvo-pack.exe does not run " + program.filename().string() +
                 "; sign on Windows with signtool after packing (see the README)");
}

#else

Expected<std::filesystem::path> runningExecutablePath() {
  std::error_code error;
  std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return failure("cannot find the path of runvo-pack itself: " + error.message());
  return path;
}

unsigned long currentProcessId() { return static_cast<unsigned long>(getpid()); }

std::optional<std::filesystem::path> findOnPath(std::string_view name) {
  const char* path = std::getenv("PATH");
  if (!path) return std::nullopt;
  const std::string folders = path;
  for (std::size_t start = 0; start <= folders.size();) {
    const std::size_t end = std::min(folders.find(':', start), folders.size());
    const std::filesystem::path candidate =
        std::filesystem::path(end > start ? folders.substr(start, end - start) : ".") / name;
    if (access(candidate.c_str(), X_OK) == 0 && std::filesystem::is_regular_file(candidate)) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

namespace {

// Owns a file descriptor; Windows handles have util/unique_handle.h, which
// this Linux-only path cannot use.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int value) : value_(value) {}
  Descriptor(Descriptor&& other) noexcept : value_(std::exchange(other.value_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = std::exchange(other.value_, -1);
    }
    return *this;
  }
  ~Descriptor() { reset(); }
  int get() const { return value_; }
  void reset() {
    if (value_ >= 0) close(value_);
    value_ = -1;
  }

 private:
  int value_ = -1;
};

struct Pipe {
  Descriptor read;
  Descriptor write;
};

bool openPipe(Pipe& pipeEnds) {
  int ends[2];
  if (pipe(ends) != 0) return false;
  pipeEnds.read = Descriptor(ends[0]);
  pipeEnds.write = Descriptor(ends[1]);
  return true;
}

}  // namespace

Expected<ProgramRun> runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                                const std::string& input) {
  Pipe toChild, fromChild;
  if (!openPipe(toChild) || !openPipe(fromChild)) {
    return failure(std::string("cannot make a pipe: ") + std::strerror(errno));
  }

  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) return failure(std::string("cannot start a process: ") + std::strerror(errno));
  if (child == 0) {
    dup2(toChild.read.get(), STDIN_FILENO);
    dup2(fromChild.write.get(), STDOUT_FILENO);
    dup2(fromChild.write.get(), STDERR_FILENO);
    close(toChild.write.get());
    close(fromChild.read.get());
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  toChild.read.reset();
  fromChild.write.reset();
  // A program that ends without reading its input must not end runvo-pack.
  std::signal(SIGPIPE, SIG_IGN);
  for (std::size_t written = 0; written < input.size();) {
    const ssize_t count = write(toChild.write.get(), input.data() + written, input.size() - written);
    if (count <= 0) break;
    written += static_cast<std::size_t>(count);
  }
  toChild.write.reset();

  ProgramRun run;
  char chunk[4096];
  for (ssize_t count; (count = read(fromChild.read.get(), chunk, sizeof chunk)) != 0;) {
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) break;
    run.output.append(chunk, static_cast<std::size_t>(count));
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

#endif

}  // namespace runvo::pack
