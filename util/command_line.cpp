#include "util/command_line.h"

namespace runvo {

bool trySplitCommandLine(WideView text, ArgumentVector& into) {
  constexpr auto npos = WideView::npos;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == u' ') {
      ++i;
      continue;
    }
    const std::size_t space = text.find(u' ', i);
    const std::size_t dq = text.find(u'"', i);
    const std::size_t sq = text.find(u'\'', i);
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
    WideString argument(text.substr(i, open - i));
    argument += text.substr(open + 1, close - open - 1);
    into.push_back(std::move(argument));
    i = close + 1;
    if (i < text.size() && text[i] == u' ') ++i;
  }
  return true;
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
