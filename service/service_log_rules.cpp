#include "service/service_log_rules.h"

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
  return settings;
}

std::string serviceLogPath(std::string_view launcherDirectory, std::string_view folder, std::string_view serviceName) {
  std::string path = isRelativePath(folder) ? std::string(launcherDirectory) : std::string();
  path += folder;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  std::string file(serviceName);
  for (char& c : file) {
    if (static_cast<unsigned char>(c) < 0x20 || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) c = '_';
  }
  return path + (file.empty() ? "service" : file) + ".log";
}

std::string rolledLogName(std::string_view path, int index) { return std::string(path) + "." + std::to_string(index); }

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

std::uint32_t restartsInLatestRun(std::string_view text, std::string_view startMarker) {
  const std::vector<std::string> lines = lastLinesSince(text, startMarker, text.size() + 1);
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    const std::size_t at = line->find(kRestartLine);
    if (at == std::string::npos) continue;
    std::uint32_t number = 0;
    const char* first = line->data() + at + kRestartLine.size();
    const auto [end, problem] = std::from_chars(first, line->data() + line->size(), number);
    if (problem == std::errc() && end != first && *end == ')') return number;
  }
  return 0;
}

}  // namespace runvo
