// Java version texts: the order must be one (antisymmetric, transitive), a
// bound must compare as the version cut to the bound's segments, and the
// version read from "java -version" output must come from that output.
// Input: texts separated by NUL bytes; the first three are compared, all of
// them are the output lines.
#include <algorithm>

#include "fuzz/fuzz_support.h"
#include "jvm/version_rules.h"

namespace {

using runvo::compareVersions;

int sign(int value) { return (value > 0) - (value < 0); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Where each segment (a run of digits, or any other single character) ends.
std::vector<std::size_t> segmentEnds(std::string_view version) {
  std::vector<std::size_t> ends;
  for (std::size_t i = 0; i < version.size();) {
    if (isDigit(version[i])) {
      while (i < version.size() && isDigit(version[i])) ++i;
    } else {
      ++i;
    }
    ends.push_back(i);
  }
  return ends;
}

std::string_view firstSegments(std::string_view version, std::size_t count) {
  const std::vector<std::size_t> ends = segmentEnds(version);
  if (count == 0 || ends.empty()) return version.substr(0, 0);
  return version.substr(0, ends[std::min(count, ends.size()) - 1]);
}

void checkOrder(std::string_view a, std::string_view b, std::string_view c) {
  FUZZ_EXPECT(compareVersions(a, a) == 0);
  FUZZ_EXPECT(sign(compareVersions(a, b)) == -sign(compareVersions(b, a)));
  if (compareVersions(a, b) <= 0 && compareVersions(b, c) <= 0) {
    FUZZ_EXPECT(compareVersions(a, c) <= 0);
    if (compareVersions(a, b) < 0 || compareVersions(b, c) < 0) FUZZ_EXPECT(compareVersions(a, c) < 0);
  }
}

void checkBound(std::string_view version, std::string_view bound) {
  const std::size_t boundSegments = segmentEnds(bound).size();
  FUZZ_EXPECT(sign(runvo::compareWithBound(version, bound)) ==
              sign(compareVersions(firstSegments(version, boundSegments), bound)));
  FUZZ_EXPECT(runvo::compareWithBound(version, "") == 0);
}

// Each bound constrains only the segments both texts have.
void checkPrefixRange(std::string_view version, std::string_view min, std::string_view max) {
  auto shared = [&](std::string_view bound) {
    const std::size_t count = std::min(segmentEnds(version).size(), segmentEnds(bound).size());
    return compareVersions(firstSegments(version, count), firstSegments(bound, count));
  };
  const bool inRange = shared(min) >= 0 && shared(max) <= 0;
  FUZZ_EXPECT(runvo::versionPrefixInRange(version, {std::string(min), std::string(max)}) == inRange);
}

void checkParsedOutput(const std::vector<std::string>& lines) {
  const std::optional<std::string> version = runvo::parseVersionOutput(lines);
  if (!version) return;
  FUZZ_EXPECT(!version->empty());
  FUZZ_EXPECT(std::ranges::any_of(lines, [&](const std::string& line) {
    return version->size() < line.size() && line.find("\"" + *version) != std::string::npos;
  }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> texts = runvo::fuzz::textsBetweenNuls(runvo::fuzz::asText(data, size));
  const std::vector<std::string> lines = texts;
  texts.resize(std::max<std::size_t>(texts.size(), 3));
  checkOrder(texts[0], texts[1], texts[2]);
  checkBound(texts[0], texts[1]);
  checkPrefixRange(texts[0], texts[1], texts[2]);
  checkParsedOutput(lines);
  return 0;
}
