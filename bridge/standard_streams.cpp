#include "bridge/standard_streams.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

// ntdll's own export (its header is not installed): the Unix descriptor
// behind a handle, a new one that the caller closes. Wine's pipes have none.
extern "C" LONG CDECL wine_server_handle_to_fd(HANDLE handle, unsigned int access, int* unixFd,
                                               unsigned int* options);

namespace runvo::bridge {

namespace {
constexpr std::size_t kChunk = 8192;
// How long the end of the process waits for a relay in the middle of a write.
constexpr auto kFlushPatience = std::chrono::milliseconds(500);

struct InputRelay {
  HANDLE source;
  int writeEnd;
};

struct OutputRelay {
  int readEnd;  // non-blocking
  HANDLE target;
  // Held from taking bytes out of the pipe until they are written, so that a
  // flush never overtakes the relay.
  std::timed_mutex moving;
  // The bytes taken out of the pipe and not written yet: when the process
  // ends while the relay thread holds some, the last flush writes them.
  char chunk[kChunk]{};
  std::size_t chunkBegin = 0;
  std::size_t chunkEnd = 0;
};

std::vector<OutputRelay*>& outputRelays() {
  static auto* relays = new std::vector<OutputRelay*>;
  return *relays;
}

bool writeAllToFd(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

DWORD WINAPI relayInput(void* parameter) {
  auto* relay = static_cast<InputRelay*>(parameter);
  char buffer[kChunk];
  DWORD got = 0;
  while (ReadFile(relay->source, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    if (!writeAllToFd(relay->writeEnd, buffer, got)) break;
  }
  // Java reads the end of input when the Windows side ends it.
  close(relay->writeEnd);
  return 0;
}

// Writes what is left of the chunk taken out of the pipe, keeping count as it
// goes; false when the target takes nothing more.
bool writeChunk(OutputRelay& relay) {
  while (relay.chunkBegin < relay.chunkEnd) {
    DWORD written = 0;
    if (!WriteFile(relay.target, relay.chunk + relay.chunkBegin, static_cast<DWORD>(relay.chunkEnd - relay.chunkBegin),
                   &written, nullptr) ||
        written == 0) {
      relay.chunkBegin = relay.chunkEnd;
      return false;
    }
    relay.chunkBegin += written;
  }
  return true;
}

// Moves what the pipe holds now; false once every writer has closed it.
bool moveAvailable(OutputRelay& relay) {
  writeChunk(relay);
  for (;;) {
    const ssize_t got = read(relay.readEnd, relay.chunk, sizeof relay.chunk);
    if (got > 0) {
      relay.chunkBegin = 0;
      relay.chunkEnd = static_cast<std::size_t>(got);
      writeChunk(relay);
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    return got < 0;  // EAGAIN: empty for now
  }
}

DWORD WINAPI relayOutput(void* parameter) {
  auto* relay = static_cast<OutputRelay*>(parameter);
  for (;;) {
    pollfd ready{relay->readEnd, POLLIN, 0};
    if (poll(&ready, 1, -1) < 0 && errno != EINTR) return 1;
    std::lock_guard lock(relay->moving);
    if (!moveAvailable(*relay)) return 0;
  }
}

bool startRelay(LPTHREAD_START_ROUTINE routine, void* relay) {
  HANDLE thread = CreateThread(nullptr, 0, routine, relay, 0, nullptr);
  if (thread == nullptr) return false;
  CloseHandle(thread);
  return true;
}

void relayStandardInput(HANDLE source) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return;
  if (startRelay(relayInput, new InputRelay{source, ends[1]})) {
    dup2(ends[0], STDIN_FILENO);  // the copy is inherited by Java's own children, as stdin should be
  } else {
    close(ends[1]);
  }
  close(ends[0]);
}

void relayStandardOutput(HANDLE target, int fd) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
  // Only the relay's end is non-blocking; Java's writes wait for room.
  fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) & ~O_NONBLOCK);
  auto* relay = new OutputRelay{ends[0], target, {}, {}};
  if (startRelay(relayOutput, relay)) {
    dup2(ends[1], fd);
    outputRelays().push_back(relay);
  } else {
    close(ends[0]);
    delete relay;
  }
  close(ends[1]);
}
}  // namespace

void adoptStandardHandles() {
  struct Standard {
    DWORD handle;
    unsigned int access;
    int fd;
  };
  static constexpr Standard kStandard[] = {{STD_INPUT_HANDLE, FILE_READ_DATA, STDIN_FILENO},
                                           {STD_OUTPUT_HANDLE, FILE_WRITE_DATA, STDOUT_FILENO},
                                           {STD_ERROR_HANDLE, FILE_WRITE_DATA, STDERR_FILENO}};
  static std::once_flag once;
  std::call_once(once, [] {
    for (const Standard& standard : kStandard) {
      HANDLE handle = GetStdHandle(standard.handle);
      if (handle == nullptr || handle == INVALID_HANDLE_VALUE) continue;
      int fd = -1;
      if (wine_server_handle_to_fd(handle, standard.access, &fd, nullptr) == 0 && fd >= 0) {
        if (fd != standard.fd) {
          dup2(fd, standard.fd);
          close(fd);
        }
      } else if (GetFileType(handle) == FILE_TYPE_PIPE) {
        if (standard.fd == STDIN_FILENO) {
          relayStandardInput(handle);
        } else {
          relayStandardOutput(handle, standard.fd);
        }
      }
    }
  });
}

void flushStandardStreams(bool relaysEnded) {
  for (OutputRelay* relay : outputRelays()) {
    if (relaysEnded) {
      // Its thread is gone, perhaps in the middle of a chunk: the rest of that
      // chunk goes first, then what the pipe still holds.
      moveAvailable(*relay);
      continue;
    }
    if (!relay->moving.try_lock_for(kFlushPatience)) continue;
    moveAvailable(*relay);
    relay->moving.unlock();
  }
}

}  // namespace runvo::bridge
