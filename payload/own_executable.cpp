#include "payload/own_executable.h"

#include "diag/log.h"
#include "util/paths.h"

namespace runvo {

Outcome<HANDLE> ownExecutable() {
  static UniqueHandle file;
  if (file) return file.get();
  const std::string& path = modulePath();
  file.reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    writeErrorLog("Could not open %s", path.c_str());
    return textFailure("Error opening media file. Please move this file to an ascii-only path like c:\\",
                       "opening the executable " + path, error);
  }
  return file.get();
}

ReadOutcome FileSource::read(void* into, std::size_t count) {
  DWORD got = 0;
  const BOOL ok = ReadFile(file_, into, static_cast<DWORD>(count), &got, nullptr);
  return {got, ok && got == count ? 0u : static_cast<std::uint32_t>(GetLastError())};
}

void FileSource::seek(std::uint32_t position) {
  SetFilePointer(file_, static_cast<LONG>(position), nullptr, FILE_BEGIN);
}

std::uint32_t FileSource::position() const {
  return SetFilePointer(file_, 0, nullptr, FILE_CURRENT);
}

std::uint64_t FileSource::remaining() const {
  const std::uint64_t here = position();
  const std::uint64_t total = size();
  return here < total ? total - here : 0;
}

std::uint64_t FileSource::size() const {
  LARGE_INTEGER size{};
  return GetFileSizeEx(file_, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

}  // namespace runvo
