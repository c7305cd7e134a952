// The host hands the child its program, the service name, its other
// arguments and the start parameters on one command line. The child must
// get back exactly what was sent, or the host must have refused the line.
// Input: UTF-16LE texts separated by the unit 0: the host's own command line,
// the service name, then the start parameters.
#include <algorithm>

#include "fuzz/fuzz_support.h"
#include "service/host_rules.h"
#include "util/command_line.h"

namespace {

using runvo::ArgumentVector;
using runvo::WideString;
using runvo::WideView;

// What the splitter must give for a text without quotes: the pieces between spaces.
ArgumentVector piecesBetweenSpaces(WideView text) {
  ArgumentVector pieces;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t space = std::min(text.find(u' ', start), text.size());
    if (space > start) pieces.emplace_back(text.substr(start, space - start));
    start = space + 1;
  }
  return pieces;
}

void checkQuoteFreeSplit(WideView text) {
  if (text.find_first_of(u"\"'") != WideView::npos) return;
  ArgumentVector split;
  FUZZ_EXPECT(runvo::trySplitCommandLine(text, split));
  FUZZ_EXPECT(split == piecesBetweenSpaces(text));
}

bool everyItemCarried(const ArgumentVector& items) {
  return std::ranges::all_of(items, [](const WideString& item) { return runvo::carriedWhole(item); });
}

void checkChildLineRoundTrip(const std::vector<WideString>& texts) {
  // The host's arguments are its own command line split by the rule the
  // child uses. A started process has its program first; a line that starts
  // with a blank has none, and its first argument would pass for it.
  const WideView hostLine = texts[0];
  if (hostLine.empty() || hostLine[0] == u' ' || hostLine[0] == u'\t') return;
  ArgumentVector host;
  if (!runvo::trySplitProcessCommandLine(hostLine, host)) return;
  const WideString name = texts.size() > 1 ? texts[1] : WideString();
  const ArgumentVector parameters(texts.begin() + std::min<std::size_t>(2, texts.size()), texts.end());

  // Everything after the program, in the order the child must see it.
  ArgumentVector items{name};
  items.insert(items.end(), host.begin() + 1, host.end());
  items.insert(items.end(), parameters.begin(), parameters.end());

  const auto line = runvo::childCommandLine(host, name, parameters);
  if (!line) {
    FUZZ_EXPECT(!everyItemCarried(items));
    return;
  }
  ArgumentVector sent{host.front()};
  sent.insert(sent.end(), items.begin(), items.end());
  sent.emplace_back(runvo::kChildMarker);
  ArgumentVector received;
  FUZZ_EXPECT(runvo::trySplitProcessCommandLine(*line, received));
  FUZZ_EXPECT(received == sent);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<WideString> texts = runvo::fuzz::wideTextsBetweenNuls(data, size);
  for (const WideString& text : texts) checkQuoteFreeSplit(text);
  checkChildLineRoundTrip(texts);
  return 0;
}
