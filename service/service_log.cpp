#include "service/service_log.h"

#include <fstream>
#include <sstream>

#include "diag/log.h"

namespace runvo {

LogTime localTimeNow() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

namespace {
// Creates each missing folder of the path's directory.
void createFolders(const std::string& filePath) {
  for (std::size_t at = filePath.find_first_of("\\/", 3); at != std::string::npos;
       at = filePath.find_first_of("\\/", at + 1)) {
    CreateDirectoryA(filePath.substr(0, at).c_str(), nullptr);
  }
}
}  // namespace

ServiceLog::ServiceLog(std::string path, const ServiceLogSettings& settings)
    : path_(std::move(path)), settings_(settings) {}

void ServiceLog::line(std::string_view text) {
  std::lock_guard guard(lock_);
  writeLocked(timestampedLine(localTimeNow(), text));
}

void ServiceLog::output(std::string_view chunk) {
  std::lock_guard guard(lock_);
  for (const std::string& text : outputLines_.append(chunk)) writeLocked(timestampedLine(localTimeNow(), text));
}

void ServiceLog::finishOutput() {
  std::lock_guard guard(lock_);
  for (const std::string& text : outputLines_.finish()) writeLocked(timestampedLine(localTimeNow(), text));
}

bool ServiceLog::openLocked() {
  if (file_) return true;
  createFolders(path_);
  file_.reset(CreateFileA(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) {
    if (!failureReported_) {
      writeErrorLog("service log %s cannot be written (error %d); its lines are dropped", path_.c_str(),
                    static_cast<int>(GetLastError()));
      failureReported_ = true;
    }
    return false;
  }
  LARGE_INTEGER size{};
  size_ = GetFileSizeEx(file_.get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
  return true;
}

void ServiceLog::rollLocked() {
  file_.reset();
  const int kept = settings_.keptFiles;
  if (kept > 0) {
    DeleteFileA(rolledLogName(path_, kept).c_str());
    for (int index = kept - 1; index >= 1; --index) {
      MoveFileA(rolledLogName(path_, index).c_str(), rolledLogName(path_, index + 1).c_str());
    }
    MoveFileA(path_.c_str(), rolledLogName(path_, 1).c_str());
  }
  DeleteFileA(path_.c_str());
  size_ = 0;
}

void ServiceLog::writeLocked(std::string_view text) {
  const std::string record = std::string(text) + "\r\n";
  if (!openLocked()) return;
  if (size_ > 0 && size_ + record.size() > settings_.rollBytes) {
    rollLocked();
    if (!openLocked()) return;
  }
  DWORD written = 0;
  if (WriteFile(file_.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr)) {
    size_ += written;
  } else {
    file_.reset();  // tried again with the next line
  }
}

namespace {
std::string wholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  if (file) text << file.rdbuf();
  return text.str();
}
}  // namespace

std::vector<std::string> lastServiceLogLines(const std::string& path, std::size_t count) {
  return lastLinesSince(wholeFile(path), kServiceStartMarker, count);
}

RunFacts serviceRunFacts(const std::string& path) { return latestRunFacts(wholeFile(path), kServiceStartMarker); }

}  // namespace runvo
