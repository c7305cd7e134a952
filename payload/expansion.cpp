#include "payload/expansion.h"

#include <algorithm>
#include <array>
#include <climits>
#include <string>

#include "diag/log.h"

namespace runvo {

namespace {

enum class LauncherValue { Directory, ExtractionDirectory, PathListSeparator, JvmHome };

struct LauncherVariable {
  const char* pattern;
  LauncherValue value;
};

// Both name prefixes are accepted. The order is part of the behaviour: a
// value inserted here is searched by every later pattern.
constexpr std::array<LauncherVariable, 20> kLauncherVariables{{
    {"%RUNVO_EXEDIR%", LauncherValue::Directory},
    {"%KESTRELIX_EXEDIR%", LauncherValue::Directory},
    {"%RUNVO_TEMPDIR%", LauncherValue::ExtractionDirectory},
    {"%KESTRELIX_TEMPDIR%", LauncherValue::ExtractionDirectory},
    {"%RUNVO_PATHLIST_SEPARATOR%", LauncherValue::PathListSeparator},
    {"%KESTRELIX_PATHLIST_SEPARATOR%", LauncherValue::PathListSeparator},
    {"%RUNVO_JVM_HOME%", LauncherValue::JvmHome},
    {"%KESTRELIX_JVM_HOME%", LauncherValue::JvmHome},
    {"${RUNVO_EXEDIR}", LauncherValue::Directory},
    {"${KESTRELIX_EXEDIR}", LauncherValue::Directory},
    {"${RUNVO_TEMPDIR}", LauncherValue::ExtractionDirectory},
    {"${KESTRELIX_TEMPDIR}", LauncherValue::ExtractionDirectory},
    {"${RUNVO_PATHLIST_SEPARATOR}", LauncherValue::PathListSeparator},
    {"${KESTRELIX_PATHLIST_SEPARATOR}", LauncherValue::PathListSeparator},
    {"${RUNVO_JVM_HOME}", LauncherValue::JvmHome},
    {"${KESTRELIX_JVM_HOME}", LauncherValue::JvmHome},
    {"${launcher:sys.launcherDirectory}", LauncherValue::Directory},
    {"${launcher:sys.launcherTempDirectory}", LauncherValue::ExtractionDirectory},
    {"${launcher:sys.pathlistSeparator}", LauncherValue::PathListSeparator},
    {"${launcher:sys.jvmHome}", LauncherValue::JvmHome},
}};

constexpr bool patternsBeginWithAMarker() {
  for (const LauncherVariable& variable : kLauncherVariables) {
    if (variable.pattern[0] != '%' && variable.pattern[0] != '$') return false;
  }
  return true;
}
static_assert(patternsBeginWithAMarker(), "mayExpand looks for these first characters");

std::string_view valueOf(LauncherValue which, const LauncherValues& values) {
  switch (which) {
    case LauncherValue::Directory:
      return values.launcherDirectory;
    case LauncherValue::ExtractionDirectory:
      return values.extractionDirectory;
    case LauncherValue::PathListSeparator:
      return ";";
    case LauncherValue::JvmHome:
      return values.jvmHome;
  }
  return {};
}

// As _strupr in the C locale: only ASCII letters change.
std::string asciiUpperCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// Windows keeps per-drive directories as "=C:=C:\dir" entries; they are not
// variables anyone can refer to.
bool isReferableName(std::string_view name) { return !name.empty() && !name.starts_with('='); }

}  // namespace

bool mayExpand(std::string_view text) { return text.find_first_of("%$") != std::string_view::npos; }

void replaceAll(std::string& text, std::string_view pattern, std::string_view value, std::size_t capacity) {
  // An empty pattern matches everywhere, also behind an empty value: nothing
  // sensible to replace.
  if (pattern.empty()) return;
  const std::size_t maxLength = capacity > 0 ? capacity - 1 : 0;
  const std::string patternText(pattern);
  const std::string valueText(value);
  std::size_t searchFrom = 0;
  for (std::size_t found; (found = text.find(pattern, searchFrom)) != std::string::npos;) {
    text.replace(found, pattern.size(), value);
    const bool tooLong = text.size() > maxLength;
    if (tooLong) text.resize(maxLength);
    writeLog("expanding %s to %s in %s.", patternText.c_str(), valueText.c_str(), text.c_str());
    if (tooLong) {
      writeLog("expansion of %s cut at %d characters", patternText.c_str(),
               static_cast<int>(std::min<std::size_t>(maxLength, INT_MAX)));
      return;
    }
    searchFrom = found + value.size();
  }
}

void expandVariables(std::string& text, const LauncherValues& values, const Environment& environment,
                     std::size_t capacity) {
  for (const LauncherVariable& variable : kLauncherVariables) {
    replaceAll(text, variable.pattern, valueOf(variable.value, values), capacity);
  }
  for (const auto& [name, value] : environment) {
    if (!isReferableName(name)) continue;
    const std::string pattern = "${" + name + "}";
    replaceAll(text, pattern, value, capacity);
    // For a name already in upper case a second pass would expand a
    // self-reference inside the value just inserted.
    const std::string upperCasePattern = asciiUpperCase(pattern);
    if (upperCasePattern != pattern) replaceAll(text, upperCasePattern, value, capacity);
  }
}

}  // namespace runvo
