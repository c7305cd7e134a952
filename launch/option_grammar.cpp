#include "launch/option_grammar.h"

#include <array>
#include <utility>

namespace runvo {

namespace {
constexpr std::string_view kInclude = "-include-options";

constexpr std::array<std::pair<std::string_view, OptionKind>, 4> kPrefixes{{
    {"-include-options ", OptionKind::IncludeFile},
    {"-classpath ", OptionKind::ClassPathOverride},
    {"-classpath/p ", OptionKind::ClassPathPrepend},
    {"-classpath/a ", OptionKind::ClassPathAppend},
}};
}  // namespace

ClassifiedOption classifyOption(std::string_view text) {
  for (const auto& [prefix, kind] : kPrefixes) {
    if (text.substr(0, prefix.size()) == prefix) return {kind, std::string(text.substr(prefix.size()))};
  }
  return {OptionKind::VmOption, std::string(text)};
}

std::optional<std::string> optionFileLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
  if (line.empty() || line.front() == '#') return std::nullopt;
  return std::string(line);
}

std::vector<std::string> joinIncludeWords(const std::vector<std::string>& words) {
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] == kInclude && i + 1 < words.size()) {
      texts.push_back(words[i] + " " + words[i + 1]);
      ++i;
    } else {
      texts.push_back(words[i]);
    }
  }
  return texts;
}

}  // namespace runvo
