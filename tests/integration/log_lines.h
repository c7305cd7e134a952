// Reading what a run left behind, line by line: log files and the traces of
// the jvm.dll test double.
#pragma once
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

namespace runvo::testing {

using Lines = std::vector<std::string>;

inline std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

inline bool has(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Whether the lines hold `expected` in this order (other lines between).
inline bool inOrder(const Lines& lines, const Lines& expected) {
  auto at = lines.begin();
  for (const std::string& line : expected) {
    at = std::find(at, lines.end(), line);
    if (at == lines.end()) return false;
    ++at;
  }
  return true;
}

// For failure messages.
inline std::string joined(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The elements of the String[] handed to main, from the double's trace.
inline Lines mainArguments(const Lines& trace) {
  Lines arguments;
  for (const std::string& line : trace) {
    if (line.rfind("arg[", 0) == 0) arguments.push_back(line.substr(line.find('=') + 1));
  }
  return arguments;
}

// The version cache entry the launcher keeps for a Java executable.
inline std::string versionCacheKey(const std::filesystem::path& javaExe) {
  std::string name = lower(javaExe.string());
  std::replace(name.begin(), name.end(), '\\', '/');
  return "SOFTWARE\\tallowmere-soft\\runvo\\jvms\\" + name;
}

}  // namespace runvo::testing
