// Health checks: whatever text a config holds, a check it yields stays on this
// machine (a loopback address, a port from 1 on) and asks for a request that
// is one line of headers per line; and an output line is found however the
// output is cut into pieces.
// Input: the check's text, NUL, the text to look for, NUL, output whose
// further NUL bytes cut it into the pieces the pump reads.
#include "fuzz/fuzz_support.h"
#include "service/health_rules.h"

namespace {

void checkParsed(const std::string& text) {
  for (const bool allowLog : {true, false}) {
    std::string error;
    const auto check = runvo::parseHealthCheck(text, allowLog, error);
    FUZZ_EXPECT(check.has_value() == error.empty());
    FUZZ_EXPECT(error.find('\0') == std::string::npos || text.find('\0') != std::string::npos);
    if (!check) continue;
    if (check->kind == runvo::HealthCheck::Kind::Log) {
      FUZZ_EXPECT(allowLog && !check->text.empty());
      continue;
    }
    FUZZ_EXPECT(check->port != 0);
    FUZZ_EXPECT(check->host == "127.0.0.1" || check->host == "::1");
    if (check->kind != runvo::HealthCheck::Kind::Http) continue;
    // The request's only line ends are its own four and the blank line: no
    // header can be smuggled in through the URL.
    const std::string request = runvo::httpRequest(*check);
    auto count = [&](std::string_view part) {
      std::size_t found = 0;
      for (std::size_t at = request.find(part); at != std::string::npos; at = request.find(part, at + 1)) ++found;
      return found;
    };
    FUZZ_EXPECT(count("\r\n") == 5 && count("\r") == 5 && count("\n") == 5);
  }
}

void checkMatcher(const std::string& wanted, const std::vector<std::string>& pieces) {
  std::string whole;
  for (const std::string& piece : pieces) whole += piece;
  runvo::OutputLineMatcher inPieces(wanted);
  for (const std::string& piece : pieces) inPieces.feed(piece);
  runvo::OutputLineMatcher atOnce(wanted);
  atOnce.feed(whole);
  FUZZ_EXPECT(inPieces.matched() == atOnce.matched());
  // Found means a line holds it; a text with a line end can never match.
  bool inALine = false;
  if (!wanted.empty() && wanted.find_first_of("\r\n") == std::string::npos) {
    std::size_t start = 0;
    while (start <= whole.size() && !inALine) {
      const std::size_t end = std::min(whole.find_first_of("\r\n", start), whole.size());
      inALine = std::string_view(whole).substr(start, end - start).find(wanted) != std::string_view::npos;
      start = end + 1;
    }
  }
  FUZZ_EXPECT(atOnce.matched() == inALine);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> texts = runvo::fuzz::textsBetweenNuls(runvo::fuzz::asText(data, size));
  checkParsed(texts[0]);
  if (texts.size() >= 2) checkMatcher(texts[1], {texts.begin() + 2, texts.end()});
  return 0;
}
