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

}  // namespace runvo
