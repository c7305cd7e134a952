#include "pack/config/word_quoting.h"

#include "util/command_line.h"

namespace runvo::pack {

namespace {

bool holds(const std::string& text, char c) { return text.find(c) != std::string::npos; }

// An empty word, or one with a space or any quote, must be quoted: an
// unquoted quote would start a group of its own and lose characters.
Expected<std::string> quoteWord(const std::string& word) {
  const bool hasDouble = holds(word, '"');
  const bool hasSingle = holds(word, '\'');
  if (hasDouble && hasSingle) {
    return failure("the word <" + word +
                   "> holds both a double and a single quote, which the launcher cannot read back");
  }
  if (!word.empty() && !hasDouble && !hasSingle && !holds(word, ' ')) return word;
  const char quote = hasDouble ? '\'' : '"';
  return quote + word + quote;
}

}  // namespace

Expected<std::string> joinWordsForSplitter(const std::vector<std::string>& words) {
  std::string joined;
  for (const std::string& word : words) {
    auto quoted = quoteWord(word);
    if (!quoted) return quoted.error();
    if (!joined.empty()) joined += ' ';
    joined += *quoted;
  }
  return joined;
}

Status checkWordsText(const std::string& text) {
  std::vector<std::string> words;
  if (trySplitWords(text, words)) return Done{};
  return failure("a quote in <" + text + "> has no closing partner, so the launcher cannot split it into words; "
                 "close it, or give the words as an array of strings");
}

}  // namespace runvo::pack
