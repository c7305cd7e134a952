// The VM options grammar: a classified option must be its prefix and its
// value, an options-file line must lose only line ends and blanks, and
// joining "-include-options" to its file name must keep every word.
// Input: words separated by NUL bytes; each word is also an options-file line.
#include <array>

#include "fuzz/fuzz_support.h"
#include "launch/option_grammar.h"

namespace {

using runvo::OptionKind;

constexpr std::string_view kInclude = "-include-options";

constexpr std::array<std::pair<std::string_view, OptionKind>, 4> kPrefixes{{
    {"-include-options ", OptionKind::IncludeFile},
    {"-classpath ", OptionKind::ClassPathOverride},
    {"-classpath/p ", OptionKind::ClassPathPrepend},
    {"-classpath/a ", OptionKind::ClassPathAppend},
}};

void checkClassified(std::string_view text) {
  const runvo::ClassifiedOption option = runvo::classifyOption(text);
  for (const auto& [prefix, kind] : kPrefixes) {
    if (option.kind == kind) FUZZ_EXPECT(text.starts_with(prefix) && text.substr(prefix.size()) == option.value);
  }
  if (option.kind == OptionKind::VmOption) {
    FUZZ_EXPECT(option.value == text);
    for (const auto& [prefix, kind] : kPrefixes) FUZZ_EXPECT(!text.starts_with(prefix));
  }
}

bool onlyOf(std::string_view text, std::string_view characters) {
  return text.find_first_not_of(characters) == std::string_view::npos;
}

void checkFileLine(std::string_view line) {
  const std::optional<std::string> option = runvo::optionFileLine(line);
  if (!option) {
    // Nothing but blanks and line ends, or a comment.
    const std::size_t first = line.find_first_not_of(' ');
    FUZZ_EXPECT(onlyOf(line, " \r\n") || line[first] == '#');
    return;
  }
  // The option, spaces before it, spaces and then line ends after it.
  const std::size_t start = line.find(*option);
  FUZZ_EXPECT(start != std::string_view::npos);
  FUZZ_EXPECT(!option->empty() && option->front() != ' ' && option->back() != ' ' && option->front() != '#');
  FUZZ_EXPECT(onlyOf(line.substr(0, start), " "));
  const std::string_view after = line.substr(start + option->size());
  const std::size_t lineEnds = after.find_first_not_of(' ');
  FUZZ_EXPECT(lineEnds == std::string_view::npos || onlyOf(after.substr(lineEnds), "\r\n"));
}

void checkJoined(const std::vector<std::string>& words) {
  const std::vector<std::string> texts = runvo::joinIncludeWords(words);
  std::size_t word = 0;
  for (const std::string& text : texts) {
    FUZZ_EXPECT(word < words.size());
    if (words[word] == kInclude && word + 1 < words.size()) {
      FUZZ_EXPECT(text == words[word] + " " + words[word + 1]);
      const runvo::ClassifiedOption option = runvo::classifyOption(text);
      FUZZ_EXPECT(option.kind == OptionKind::IncludeFile && option.value == words[word + 1]);
      word += 2;
    } else {
      FUZZ_EXPECT(text == words[word]);
      ++word;
    }
  }
  FUZZ_EXPECT(word == words.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> words = runvo::fuzz::textsBetweenNuls(runvo::fuzz::asText(data, size));
  for (const std::string& word : words) {
    checkClassified(word);
    checkFileLine(word);
  }
  checkJoined(words);
  return 0;
}
