#include "util/command_line.h"

namespace runvo {

namespace {
// One rule for wide command lines and for configured UTF-8 words: the
// characters that matter are ASCII, which UTF-8 never uses inside another
// character, so splitting its bytes is splitting its characters.
template <class Char>
bool splitWords(std::basic_string_view<Char> text, std::vector<std::basic_string<Char>>& into) {
  using View = std::basic_string_view<Char>;
  constexpr auto npos = View::npos;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == Char(' ')) {
      ++i;
      continue;
    }
    const std::size_t space = text.find(Char(' '), i);
    const std::size_t dq = text.find(Char('"'), i);
    const std::size_t sq = text.find(Char('\''), i);
    if (space != npos && space < dq && space < sq) {
      into.emplace_back(text.substr(i, space - i));
      i = space + 1;
      continue;
    }
    std::size_t open = npos;
    if (dq != npos && dq < sq) {
      open = dq;
    } else if (sq != npos) {
      open = sq;
    } else {
      into.emplace_back(text.substr(i));
      break;
    }
    const std::size_t close = text.find(text[open], open + 1);
    if (close == npos) return false;
    std::basic_string<Char> argument(text.substr(i, open - i));
    argument += text.substr(open + 1, close - open - 1);
    into.push_back(std::move(argument));
    i = close + 1;
    if (i < text.size() && text[i] == Char(' ')) ++i;
  }
  return true;
}

bool needsQuotes(WideView argument) {
  return argument.empty() || argument.find_first_of(u" \t\n\v\"") != WideView::npos;
}
}  // namespace

bool trySplitCommandLine(WideView text, ArgumentVector& into) { return splitWords(text, into); }

bool trySplitWords(std::string_view text, std::vector<std::string>& into) { return splitWords(text, into); }

WideString quotedForProgram(WideView argument) {
  if (!needsQuotes(argument)) return WideString(argument);
  WideString quoted = u"\"";
  std::size_t backslashes = 0;
  for (const char16_t c : argument) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count double before a quote, which itself is escaped.
    quoted.append(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
    quoted += c;
    backslashes = 0;
  }
  // Before the closing quote they count double too.
  quoted.append(2 * backslashes, u'\\');
  return quoted + u"\"";
}

WideString programCommandLine(const ArgumentVector& arguments) {
  WideString line;
  for (const WideString& argument : arguments) {
    if (!line.empty()) line += u' ';
    line += quotedForProgram(argument);
  }
  return line;
}

bool trySplitProcessCommandLine(WideView line, ArgumentVector& into) {
  std::size_t end = 0;
  if (!line.empty() && line[0] == u'"') {
    const std::size_t close = line.find(u'"', 1);
    into.emplace_back(line.substr(1, close == WideView::npos ? WideView::npos : close - 1));
    end = close == WideView::npos ? line.size() : close + 1;
  } else {
    while (end < line.size() && line[end] != u' ' && line[end] != u'\t') ++end;
    if (end > 0) into.emplace_back(line.substr(0, end));
  }
  while (end < line.size() && (line[end] == u' ' || line[end] == u'\t')) ++end;
  return trySplitCommandLine(line.substr(end), into);
}

}  // namespace runvo
