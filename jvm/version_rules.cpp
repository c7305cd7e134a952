#include "jvm/version_rules.h"

#include <algorithm>
#include <cstddef>

namespace runvo {

namespace {

// The probe reads at most 99 characters of the output line; a longer version
// would not have fitted there either.
constexpr std::size_t kMaxVersionLength = 99;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int sign(int value) { return (value > 0) - (value < 0); }

// Walks a version text one segment at a time: a run of digits, or any other
// single character.
class Segments {
 public:
  explicit Segments(std::string_view text) : text_(text) {}

  bool atEnd() const { return position_ >= text_.size(); }

  std::string_view next() {
    const std::size_t start = position_;
    if (isDigit(text_[position_])) {
      while (position_ < text_.size() && isDigit(text_[position_])) ++position_;
    } else {
      ++position_;
    }
    return text_.substr(start, position_ - start);
  }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

// Compares digit runs by value without converting them, so that no length of
// run can overflow: drop the leading zeros, then the longer run is larger.
int compareNumbers(std::string_view a, std::string_view b) {
  a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
  b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return sign(a.compare(b));
}

int compareSegments(std::string_view a, std::string_view b) {
  if (isDigit(a.front()) && isDigit(b.front())) return compareNumbers(a, b);
  // A single character, or a digit run against one: its first character
  // decides, by unsigned code as a byte-wise comparison would.
  const auto codeA = static_cast<unsigned char>(a.front());
  const auto codeB = static_cast<unsigned char>(b.front());
  return sign(static_cast<int>(codeA) - static_cast<int>(codeB));
}

// How far a comparison reaches: the whole of both texts, the segments of the
// second (a bound), or only the segments both texts have.
enum class Reach { Whole, BoundSegments, SharedSegments };

int compareSegmentwise(std::string_view a, std::string_view b, Reach reach) {
  Segments left(a);
  Segments right(b);
  while (!left.atEnd() && !right.atEnd()) {
    if (const int order = compareSegments(left.next(), right.next()); order != 0) return order;
  }
  if (left.atEnd() == right.atEnd() || reach == Reach::SharedSegments) return 0;
  if (left.atEnd()) return -1;  // ran out first: lower
  return reach == Reach::Whole ? 1 : 0;
}

// The text between the quotes of a `java version "..."` or
// `openjdk version "..."` line; nullopt for a line of another form.
std::optional<std::string_view> quotedVersion(std::string_view line) {
  for (const std::string_view prefix : {"java version \"", "openjdk version \""}) {
    if (!line.starts_with(prefix)) continue;
    const std::string_view rest = line.substr(prefix.size());
    const std::size_t closingQuote = rest.find('"');
    if (closingQuote == std::string_view::npos) return std::nullopt;
    return rest.substr(0, closingQuote);
  }
  return std::nullopt;
}

}  // namespace

int compareVersions(std::string_view a, std::string_view b) { return compareSegmentwise(a, b, Reach::Whole); }

int compareWithBound(std::string_view version, std::string_view bound) {
  return compareSegmentwise(version, bound, Reach::BoundSegments);
}

bool isPrereleaseVersion(std::string_view version) {
  return version.find("beta") != std::string_view::npos || version.find("ea") != std::string_view::npos ||
         version.find("rc") != std::string_view::npos;
}

VersionVerdict judgeVersion(std::string_view version, const VersionBounds& bounds, bool allowPrerelease) {
  if (!allowPrerelease && isPrereleaseVersion(version)) return VersionVerdict::Prerelease;
  if (compareWithBound(version, bounds.min) < 0) return VersionVerdict::BelowMinimum;
  if (compareWithBound(version, bounds.max) > 0) return VersionVerdict::AboveMaximum;
  return VersionVerdict::Accepted;
}

bool versionPrefixInRange(std::string_view version, const VersionBounds& bounds) {
  return compareSegmentwise(version, bounds.min, Reach::SharedSegments) >= 0 &&
         compareSegmentwise(version, bounds.max, Reach::SharedSegments) <= 0;
}

std::optional<std::string> parseVersionOutput(const std::vector<std::string>& firstLines) {
  for (const std::string& line : firstLines) {
    const std::optional<std::string_view> version = quotedVersion(line);
    if (!version) continue;
    if (version->empty()) return std::nullopt;
    return std::string(version->substr(0, kMaxVersionLength));
  }
  return std::nullopt;
}

std::string versionCacheKeyName(std::string_view lowerCaseFullPath) {
  std::string name(lowerCaseFullPath);
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

}  // namespace runvo
