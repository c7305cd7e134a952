#include "service/service_log_rules.h"

#include <algorithm>
#include <charconv>

#include <cstdio>

#include "payload/config_keys.h"
#include "util/path_rules.h"

namespace runvo {

ServiceLogSettings readServiceLogSettings(const ConfigTable& table) {
  ServiceLogSettings settings;
  if (std::string folder = table.getString(kKeyServiceLogFolder); !folder.empty()) settings.folder = std::move(folder);
  if (const int bytes = table.getInt(kKeyServiceLogRollBytes); bytes > 0) settings.rollBytes = bytes;
  if (table.narrow().contains(kKeyServiceLogKeptFiles)) {
    if (const int kept = table.getInt(kKeyServiceLogKeptFiles); kept >= 0) settings.keptFiles = kept;
  }
  settings.rollDaily = table.getInt(kKeyServiceLogRollDaily) != 0;
  if (const int days = table.getInt(kKeyServiceLogKeptDays); days > 0) settings.keptDays = days;
  return settings;
}

std::string serviceLogPath(std::string_view launcherDirectory, std::string_view folder, std::string_view serviceName) {
  std::string path = isRelativePath(folder) ? std::string(launcherDirectory) : std::string();
  path += folder;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  return path + serviceFileStem(serviceName) + ".log";
}

std::string serviceFileStem(std::string_view serviceName) {
  std::string file(serviceName);
  for (char& c : file) {
    if (static_cast<unsigned char>(c) < 0x20 || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) c = '_';
  }
  return file.empty() ? "service" : file;
}

std::string rolledLogName(std::string_view path, int index) { return std::string(path) + "." + std::to_string(index); }

std::string dailyLogName(std::string_view path, const LogDate& day, int attempt) {
  char date[16];
  std::snprintf(date, sizeof date, ".%04d-%02d-%02d", day.year, day.month, day.day);
  std::string name = std::string(path) + date;
  if (attempt > 0) name += "." + std::to_string(attempt);
  return name;
}

namespace {
bool allDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// "2026-12-10"
bool isDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  return allDigits(text.substr(0, 4)) && allDigits(text.substr(5, 2)) && allDigits(text.substr(8, 2));
}
}  // namespace

bool isRolledLogName(std::string_view logName, std::string_view name) {
  if (logName.empty() || name.size() <= logName.size() + 1 || !name.starts_with(logName) ||
      name[logName.size()] != '.') {
    return false;
  }
  const std::string_view suffix = name.substr(logName.size() + 1);
  if (allDigits(suffix)) return true;
  const std::string_view date = suffix.substr(0, 10);
  return isDate(date) && (suffix.size() == 10 || (suffix[10] == '.' && allDigits(suffix.substr(11))));
}

void LogRollState::opened(std::uint64_t size, const LogTime& lastWrite) {
  size_ = size;
  if (!fileDay_ || size == 0) fileDay_ = dateOf(lastWrite);
}

RollReason LogRollState::before(std::size_t recordBytes, const LogTime& now) const {
  if (size_ == 0) return RollReason::None;
  if (failedAt_) {
    const std::int64_t since = secondsBetween(*failedAt_, now);
    if (since >= 0 && since < kRetrySeconds) return RollReason::None;
  }
  if (rollDaily_ && dateOf(now) > fileDay()) return RollReason::Day;
  if (size_ + recordBytes > rollBytes_) return RollReason::Size;
  return RollReason::None;
}

void LogRollState::rolled(const LogTime& now) {
  size_ = 0;
  fileDay_ = dateOf(now);
  failedAt_.reset();
}

void LogRollState::rollFailed(const LogTime& now) { failedAt_ = now; }

namespace {
// A rolled file's name as the stem before its last dot and the number after it.
struct NumberedName {
  std::string_view stem;
  unsigned long number = 0;
};
std::optional<NumberedName> numberedName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || !allDigits(name.substr(dot + 1))) return std::nullopt;
  NumberedName numbered{name.substr(0, dot)};
  const auto [end, problem] = std::from_chars(name.data() + dot + 1, name.data() + name.size(), numbered.number);
  if (problem != std::errc()) return std::nullopt;
  return numbered;
}

// For files written within the same millisecond, the names tell: a size
// roll shifts the older files up, so ".1" is newer than ".2"; a day's later
// rolls count up, so ".2026-12-10.2" is newer than ".2026-12-10.1", which
// is newer than ".2026-12-10".
bool namedNewer(std::string_view a, std::string_view b) {
  const auto numberedA = numberedName(a);
  const auto numberedB = numberedName(b);
  if (numberedA && numberedB && numberedA->stem == numberedB->stem && numberedA->number != numberedB->number) {
    const std::string_view stem = numberedA->stem;
    const bool dayRoll = stem.size() >= 10 && isDate(stem.substr(stem.size() - 10));
    return dayRoll ? numberedA->number > numberedB->number : numberedA->number < numberedB->number;
  }
  return a > b;
}
}  // namespace

std::vector<RolledFile> newestFirst(std::vector<RolledFile> files) {
  std::ranges::sort(files, [](const RolledFile& a, const RolledFile& b) {
    return a.lastWrite != b.lastWrite ? a.lastWrite > b.lastWrite : namedNewer(a.name, b.name);
  });
  return files;
}

std::vector<std::string> rolledFilesToRemove(std::vector<RolledFile> files, int keptFiles, int keptDays,
                                             const LogTime& now) {
  files = newestFirst(std::move(files));
  std::vector<std::string> removed;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const bool beyondCount = i >= static_cast<std::size_t>(std::max(keptFiles, 0));
    const bool tooOld = keptDays > 0 && secondsBetween(files[i].lastWrite, now) > std::int64_t{keptDays} * 86400;
    if (beyondCount || tooOld) removed.push_back(std::move(files[i].name));
  }
  return removed;
}

std::string timestampedLine(const LogTime& t, std::string_view text) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", t.year, t.month, t.day, t.hour,
                t.minute, t.second, t.millisecond);
  return stamp + std::string(text);
}

std::vector<std::string> OutputLines::append(std::string_view chunk) {
  std::vector<std::string> lines;
  for (char c : chunk) {
    if (c == '\n') {
      if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
      lines.push_back(std::move(partial_));
      partial_.clear();
      continue;
    }
    partial_ += c;
    if (partial_.size() >= kLongestLine) {
      lines.push_back(std::move(partial_));
      partial_.clear();
    }
  }
  return lines;
}

std::vector<std::string> OutputLines::finish() {
  std::vector<std::string> lines;
  if (!partial_.empty()) lines.push_back(std::move(partial_));
  partial_.clear();
  return lines;
}

std::vector<std::string> lastLinesSince(std::string_view text, std::string_view marker, std::size_t count) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!marker.empty() && line.find(marker) != std::string_view::npos) lines.clear();
    lines.emplace_back(line);
    start = end + 1;
  }
  if (lines.size() > count) lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(count));
  return lines;
}

namespace {
// The number that follows `prefix` in the line, up to `end` (or the line's end).
std::optional<std::uint32_t> numberAfter(std::string_view line, std::string_view prefix, std::string_view end = {}) {
  const std::size_t at = line.find(prefix);
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view rest = line.substr(at + prefix.size());
  std::uint32_t number = 0;
  const auto [stop, problem] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
  if (problem != std::errc() || stop == rest.data()) return std::nullopt;
  const std::string_view after(stop, static_cast<std::size_t>(rest.data() + rest.size() - stop));
  if (end.empty() ? !after.empty() : after.substr(0, end.size()) != end) return std::nullopt;
  return number;
}

bool digitsAt(std::string_view text, std::size_t at, std::size_t count, int& value) {
  if (text.size() < at + count) return false;
  const auto [end, problem] = std::from_chars(text.data() + at, text.data() + at + count, value);
  return problem == std::errc() && end == text.data() + at + count;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
std::int64_t daysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int yearOfEra = static_cast<int>(year - era * 400);
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}
}  // namespace

std::optional<LogTime> parseLogTime(std::string_view line) {
  // "2026-12-10 17:05:45.123 "
  LogTime t{};
  const bool read = digitsAt(line, 0, 4, t.year) && digitsAt(line, 5, 2, t.month) && digitsAt(line, 8, 2, t.day) &&
                    digitsAt(line, 11, 2, t.hour) && digitsAt(line, 14, 2, t.minute) &&
                    digitsAt(line, 17, 2, t.second) && digitsAt(line, 20, 3, t.millisecond);
  if (!read || line[4] != '-' || line[7] != '-' || line[10] != ' ' || line[13] != ':' || line[16] != ':' ||
      line[19] != '.' || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31) {
    return std::nullopt;
  }
  return t;
}

std::int64_t secondsBetween(const LogTime& from, const LogTime& to) {
  auto seconds = [](const LogTime& t) {
    return daysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
  };
  return seconds(to) - seconds(from);
}

std::string durationText(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  const std::int64_t parts[] = {seconds / 86400, seconds / 3600 % 24, seconds / 60 % 60, seconds % 60};
  const char* units[] = {" d", " h", " min", " s"};
  std::string text;
  for (std::size_t i = 0; i < 4; ++i) {
    if (text.empty() && parts[i] == 0 && i < 3) continue;
    if (!text.empty()) text += ' ';
    text += std::to_string(parts[i]) + units[i];
  }
  return text;
}

RunFacts latestRunFacts(std::string_view text, std::string_view startMarker) {
  RunFacts facts;
  for (const std::string& line : lastLinesSince(text, startMarker, text.size() + 1)) {
    if (!facts.startedAt && line.find(startMarker) != std::string::npos) facts.startedAt = parseLogTime(line);
    if (auto id = numberAfter(line, kChildProcessLine)) facts.childProcessId = id;
    if (auto code = numberAfter(line, kChildExitLine)) facts.lastExitCode = code;
    if (auto restart = numberAfter(line, kRestartLine, ")")) facts.restarts = *restart;
  }
  return facts;
}

}  // namespace runvo
