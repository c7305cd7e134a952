#include "service/service_log.h"

#include <fstream>
#include <sstream>

#include "diag/log.h"
#include "payload/temp_dirs.h"
#include "service/folder_access.h"
#include "util/filled_buffer.h"
#include "util/path_rules.h"
#include "util/win_text.h"

namespace runvo {

namespace {
LogTime logTimeOf(const SYSTEMTIME& t) { return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}; }
}  // namespace

LogTime localTimeNow() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return logTimeOf(t);
}

namespace {
// How far /status looks back for the latest start: a start further back
// than this many rolled files is not shown.
constexpr std::size_t kRolledFilesReadForFacts = 3;

// The folder of a full path, without its separator.
std::string folderOf(const std::string& filePath) { return filePath.substr(0, filePath.find_last_of("\\/")); }

UniqueHandle openForAppending(const std::string& path) {
  return UniqueHandle(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// "<ProgramData>\runvo\<service>" is the account's alone (SYSTEM and the
// administrators aside); "runvo" above it is shared by every service.
DWORD createPrivateServiceFolder(const std::string& logFolder) {
  const std::string serviceFolder = folderOf(logFolder);
  if (const DWORD error = createFolderTree(folderOf(serviceFolder))) return error;
  PrivateFolderSecurity security;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security.descriptor(), FALSE};
  if (!CreateDirectoryA(serviceFolder.c_str(), security.valid() ? &attributes : nullptr)) {
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) return error;
  }
  return createFolderTree(logFolder);
}

// The local time of a file time, as the log's lines are stamped.
LogTime localTimeOf(const FILETIME& fileTime) {
  FILETIME local{};
  SYSTEMTIME t{};
  if (!FileTimeToLocalFileTime(&fileTime, &local) || !FileTimeToSystemTime(&local, &t)) return localTimeNow();
  return logTimeOf(t);
}
}  // namespace

ServiceLog::ServiceLog(std::string path, const ServiceLogSettings& settings)
    : path_(std::move(path)), settings_(settings), roll_(settings.rollBytes, settings.rollDaily) {}

void ServiceLog::line(std::string_view text) {
  std::lock_guard guard(lock_);
  writeLocked(text);
}

void ServiceLog::output(std::string_view chunk) {
  std::lock_guard guard(lock_);
  for (const std::string& text : outputLines_.append(chunk)) writeLocked(text);
}

void ServiceLog::finishOutput() {
  std::lock_guard guard(lock_);
  for (const std::string& text : outputLines_.finish()) writeLocked(text);
}

void ServiceLog::fallBackTo(std::string fallbackPath, Notice notice) {
  std::lock_guard guard(lock_);
  fallbackPath_ = std::move(fallbackPath);
  notice_ = std::move(notice);
}

bool ServiceLog::openLocked() {
  if (file_) return true;
  DWORD error = createFolderTree(folderOf(path_));
  if (error == 0) {
    file_ = openForAppending(path_);
    error = file_ ? 0 : GetLastError();
  }
  // Once the log has started in its place, a failure later (a roll-over, a
  // scanner holding the file) is tried again there, not moved elsewhere.
  if (file_) fallbackPath_.clear();
  if (!file_ && !openFallbackLocked(error)) {
    if (!failureReported_) {
      writeErrorLog("service log %s cannot be written (error %d); its lines are dropped", path_.c_str(),
                    static_cast<int>(error));
      failureReported_ = true;
    }
    return false;
  }
  LARGE_INTEGER size{};
  FILETIME lastWrite{};
  const std::uint64_t bytes = GetFileSizeEx(file_.get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
  // An empty file holds today's lines whenever it was made.
  const bool written = bytes > 0 && GetFileTime(file_.get(), nullptr, nullptr, &lastWrite);
  roll_.opened(bytes, written ? localTimeOf(lastWrite) : localTimeNow());
  return true;
}

// Taken when the configured file cannot be opened before the log has ever
// been written there; from then on the log (and its rolling) lives there.
bool ServiceLog::openFallbackLocked(DWORD configuredError) {
  if (fallbackPath_.empty() || failureReported_) return false;
  const std::string configured = path_;
  DWORD error = createPrivateServiceFolder(folderOf(fallbackPath_));
  if (error == 0) {
    file_ = openForAppending(fallbackPath_);
    error = file_ ? 0 : GetLastError();
  }
  const std::string configuredReason = configured + " cannot be written (" + systemErrorText(configuredError) + ")";
  if (!file_) {
    if (notice_) {
      notice_("the service log " + configuredReason + ", nor can " + fallbackPath_ + " (" + systemErrorText(error) +
              "); its lines are dropped");
    }
    return false;
  }
  path_ = fallbackPath_;
  fallbackPath_.clear();
  const std::string note = timestampedLine(localTimeNow(), "the service log " + configuredReason + "; written here") + "\r\n";
  DWORD written = 0;
  WriteFile(file_.get(), note.data(), static_cast<DWORD>(note.size()), &written, nullptr);
  if (notice_) notice_("the service log " + configuredReason + "; it is written to " + path_);
  return true;
}

std::optional<DWORD> ServiceLog::moveAsideLocked() {
  const int kept = settings_.keptFiles;
  if (kept == 0) {
    if (DeleteFileA(path_.c_str())) return std::nullopt;
    return GetLastError();
  }
  if (settings_.rollDaily) {
    // A name already taken (a second roll that day) moves on to the next one.
    for (int attempt = 0; attempt < 1000; ++attempt) {
      if (MoveFileA(path_.c_str(), dailyLogName(path_, roll_.fileDay(), attempt).c_str())) return std::nullopt;
      const DWORD error = GetLastError();
      if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return error;
    }
    return static_cast<DWORD>(ERROR_ALREADY_EXISTS);
  }
  DeleteFileA(rolledLogName(path_, kept).c_str());
  for (int index = kept - 1; index >= 1; --index) {
    MoveFileA(rolledLogName(path_, index).c_str(), rolledLogName(path_, index + 1).c_str());
  }
  // Never replaces: a rolled file that stayed (held open) keeps its lines,
  // and so does the current file, which is then written on.
  if (MoveFileA(path_.c_str(), rolledLogName(path_, 1).c_str())) return std::nullopt;
  return GetLastError();
}

void ServiceLog::rollLocked(const LogTime& now) {
  file_.reset();
  const std::optional<DWORD> error = moveAsideLocked();
  if (!openLocked()) return;
  if (error) {
    roll_.rollFailed(now);
    if (!rollFailureReported_) {
      rollFailureReported_ = true;
      appendLocked(timestampedLine(now, "the service log could not be rolled over (error " + std::to_string(*error) +
                                            "); it is written on and rolled over when it can be") +
                   "\r\n");
    }
    return;
  }
  rollFailureReported_ = false;
  roll_.rolled(now);
  removeExpiredRolledFiles(now);
}

namespace {
// The rolled files of the log at `path`, by name (without the folder).
std::vector<RolledFile> listRolledFiles(const std::string& path) {
  const std::string logName = path.substr(folderWithSeparator(path).size());
  std::vector<RolledFile> rolled;
  WIN32_FIND_DATAA entry{};
  UniqueFindHandle find(FindFirstFileA((path + ".*").c_str(), &entry));
  if (!find) return rolled;
  do {
    // Only files this log made: no folders, no links someone planted.
    if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) continue;
    if (isRolledLogName(logName, entry.cFileName)) rolled.push_back({entry.cFileName, localTimeOf(entry.ftLastWriteTime)});
  } while (FindNextFileA(find.get(), &entry));
  return rolled;
}
}  // namespace

void ServiceLog::removeExpiredRolledFiles(const LogTime& now) const {
  const std::string folder(folderWithSeparator(path_));
  for (const std::string& name : rolledFilesToRemove(listRolledFiles(path_), settings_.keptFiles, settings_.keptDays, now)) {
    DeleteFileA((folder + name).c_str());
  }
}

void ServiceLog::appendLocked(const std::string& record) {
  DWORD written = 0;
  if (WriteFile(file_.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr)) {
    roll_.wrote(written);
  } else {
    file_.reset();  // tried again with the next line
  }
}

void ServiceLog::writeLocked(std::string_view text) {
  const LogTime now = localTimeNow();
  const std::string record = timestampedLine(now, text) + "\r\n";
  if (!openLocked()) return;
  if (!expiredFilesChecked_) {
    // Files that aged while the service was stopped go when it starts.
    expiredFilesChecked_ = true;
    removeExpiredRolledFiles(now);
  }
  if (roll_.before(record.size(), now) != RollReason::None) {
    rollLocked(now);
    if (!file_) return;
  }
  appendLocked(record);
}

namespace {
std::string wholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  if (file) text << file.rdbuf();
  return text.str();
}

std::optional<std::uint64_t> lastWritten(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
}

// The machine's ProgramData folder as Windows records it: a service's
// environment need not agree with an administrator's console (Wine's
// service manager hands its services another one), and the host and the
// verbs must find the same fallback.
std::string programDataFolder() {
  // Taken as REG_SZ, a REG_EXPAND_SZ value comes expanded.
  char folder[MAX_PATH] = {};
  DWORD size = sizeof folder;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", "ProgramData",
                   RRF_RT_REG_SZ, nullptr, folder, &size) == ERROR_SUCCESS) {
    return folder;
  }
  return filledBuffer<char>(
      [](char* buffer, DWORD capacity) { return GetEnvironmentVariableA("ProgramData", buffer, capacity); });
}
}  // namespace

ServiceLogPlaces serviceLogPlaces(std::string_view launcherDirectory, std::string_view folder,
                                  std::string_view serviceName) {
  return {serviceLogPath(launcherDirectory, folder, serviceName),
          fallbackServiceLogPath(programDataFolder(), serviceName)};
}

std::string serviceLogToRead(const ServiceLogPlaces& places) {
  return placeToRead(lastWritten(places.configured), lastWritten(places.fallback)) == LogPlace::Fallback
             ? places.fallback
             : places.configured;
}

std::vector<std::string> lastServiceLogLines(const std::string& path, std::size_t count) {
  return lastLinesSince(wholeFile(path), kServiceStartMarker, count);
}

RunFacts serviceRunFacts(const std::string& path) {
  std::string text = wholeFile(path);
  // A log that rolled over since the latest start holds that start, and the
  // restarts after it, in its newest rolled files.
  const std::string folder(folderWithSeparator(path));
  std::size_t read = 0;
  for (const RolledFile& rolled : newestFirst(listRolledFiles(path))) {
    if (text.find(kServiceStartMarker) != std::string::npos || read++ == kRolledFilesReadForFacts) break;
    text = wholeFile(folder + rolled.name) + text;
  }
  return latestRunFacts(text, kServiceStartMarker);
}

}  // namespace runvo
