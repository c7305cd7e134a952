#include "pack/config/toml_guard.h"

#include <cstdio>

#include "pack/common/text_encoding.h"

namespace runvo::pack {

namespace {

struct DecodedText {
  std::u32string points;
  std::size_t validPoints = 0;  // before the first invalid sequence
  bool valid = true;
  unsigned char invalidLead = 0;  // the first byte of that sequence
};

DecodedText decodeUtf8(std::string_view utf8) {
  constexpr char32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
  DecodedText decoded;
  for (std::size_t at = 0; at < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    const int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
    bool valid = extra >= 0 && at + extra < utf8.size();
    char32_t point = valid ? (extra == 0 ? lead : lead & (0x3F >> extra)) : 0;
    for (int i = 1; valid && i <= extra; ++i) {
      const auto next = static_cast<unsigned char>(utf8[at + i]);
      valid = (next & 0xC0) == 0x80;
      point = point << 6 | (next & 0x3F);
    }
    valid = valid && point >= kShortest[extra] && point <= 0x10FFFF && !(point >= 0xD800 && point <= 0xDFFF);
    if (!valid) {
      decoded.valid = false;
      decoded.invalidLead = lead;
      return decoded;
    }
    decoded.points += point;
    decoded.validPoints = decoded.points.size();
    at += extra + 1;
  }
  return decoded;
}

// What an editor that saved the file in an ANSI code page meant by the byte,
// the Western one (Windows-1252) being the likeliest.
std::string notUtf8Reason(unsigned char lead) {
  std::string reason = "the text is not valid UTF-8: the byte " + hexEscape("0x%02X", lead) + " there ";
  const std::optional<char32_t> western = windows1252ToUnicode(lead);
  if (western) {
    reason += "is " + describeCharacter(*western) +
              " in Windows-1252, as if the file were saved in an ANSI code page";
  } else {
    reason += "starts no UTF-8 character";
  }
  return reason + "; save it as UTF-8";
}

std::string codePointName(char32_t c) { return hexEscape("U+%04X", static_cast<unsigned>(c)); }

// Tab and line feed are allowed; a carriage return only before a line feed.
std::optional<std::size_t> firstControlCharacter(std::u32string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') continue;
    if ((c < 0x20 && c != U'\t' && c != U'\n') || c == 0x7F) return i;
  }
  return std::nullopt;
}

bool isBlank(char32_t c) { return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n'; }

bool isBareKeyCharacter(char32_t c) {
  return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') || c == U'-' || c == U'_';
}

// Walks the text as the parser meets it: in a comment, in one of the four
// kinds of string, or outside them, where it reads a key, waits for a value,
// reads a bare value (a number, a date, a word) or has read one.
class Walk {
 public:
  explicit Walk(std::u32string_view text) : text_(text) {}

  // The position of the first character the parser must not test, and why.
  std::optional<std::pair<std::size_t, std::string>> firstUnsafe() {
    if (startsWith(U"\uFEFF")) ++at_;  // the reader drops a byte order mark
    while (at_ < text_.size() && !unsafe_) step();
    if (!unsafe_) return std::nullopt;
    return std::pair{at_, *unsafe_};
  }

 private:
  enum class Place { Outside, Comment, Basic, Literal, MultiLineBasic, MultiLineLiteral };
  enum class Expect { Key, Value, BareValue, End };

  bool startsWith(std::u32string_view piece) const { return text_.substr(at_).starts_with(piece); }

  void step() {
    const char32_t c = text_[at_];
    switch (place_) {
      case Place::Outside: return outside(c);
      case Place::Comment:
        if (c == U'\n') place_ = Place::Outside;  // the line end itself is read outside
        else ++at_;
        return;
      case Place::Basic:
        if (c == U'\\') ++at_;  // the escaped character cannot end the string
        return leaveAt(c == U'"' || c == U'\n');
      case Place::Literal: return leaveAt(c == U'\'' || c == U'\n');
      case Place::MultiLineBasic: return multiLineBasic(c);
      case Place::MultiLineLiteral: return closeMultiLine(U"\'\'\'");
    }
  }

  void outside(char32_t c) {
    if (c >= 0x80) {
      unsafe_ = "the character " + codePointName(c) + " is allowed only in strings and comments";
      return;
    }
    ++at_;
    if (c == U'#') {
      place_ = Place::Comment;
    } else if (c == U'"' || c == U'\'') {
      quote(c);
    } else if (isBlank(c)) {
      blank(c);
    } else {
      structure(c);
    }
    previous_ = c;
  }

  // A quote opens a string where a key or a value starts; inside a bare
  // value the parser reads it as part of that value, and glued to a bare key
  // it is an error.
  void quote(char32_t c) {
    const bool opens = expect_ == Expect::Value || (expect_ == Expect::Key && !isBareKeyCharacter(previous_));
    if (!opens) return;
    if (expect_ == Expect::Value) expect_ = Expect::End;
    const bool multiLine = startsWith(std::u32string(2, c));
    if (multiLine) at_ += 2;
    if (c == U'"') place_ = multiLine ? Place::MultiLineBasic : Place::Basic;
    if (c == U'\'') place_ = multiLine ? Place::MultiLineLiteral : Place::Literal;
  }

  void blank(char32_t c) {
    if (expect_ == Expect::BareValue) expect_ = Expect::End;
    if (c == U'\n' && open_.empty()) expect_ = Expect::Key;
  }

  void structure(char32_t c) {
    if (expect_ == Expect::BareValue && c != U']' && c != U'}' && c != U',') return;
    if (expect_ == Expect::Key && c != U'}') {
      if (c == U'=') expect_ = Expect::Value;
      if (c == U']') expect_ = Expect::End;  // of a table header
      return;
    }
    if (expect_ == Expect::Value && (c == U'[' || c == U'{')) {
      open_ += c;
      expect_ = c == U'{' ? Expect::Key : Expect::Value;
      return;
    }
    if (c == U']' || c == U'}') {
      if (!open_.empty()) open_.pop_back();
      expect_ = Expect::End;
    } else if (c == U',' && !open_.empty()) {
      expect_ = open_.back() == U'{' ? Expect::Key : Expect::Value;
    } else if (expect_ == Expect::Value) {
      expect_ = Expect::BareValue;
    }
  }

  // Up to two more quotes belong to the string; the parser refuses more.
  void closeMultiLine(std::u32string_view delimiter) {
    if (!startsWith(delimiter)) {
      ++at_;
      return;
    }
    while (at_ < text_.size() && text_[at_] == delimiter[0]) ++at_;
    place_ = Place::Outside;
  }

  // Behind a backslash the parser tests for whitespace, and after a line
  // ending backslash it keeps testing up to the first other character, which
  // the walk then reads as usual: it may start the next escape or close the
  // string.
  void multiLineBasic(char32_t c) {
    if (c != U'\\') return closeMultiLine(U"\"\"\"");
    ++at_;
    if (at_ < text_.size() && !isBlank(text_[at_])) {
      if (!refuseNonAsciiHere()) ++at_;
      return;
    }
    while (at_ < text_.size() && isBlank(text_[at_])) ++at_;
    refuseNonAsciiHere();
  }

  bool refuseNonAsciiHere() {
    if (at_ == text_.size() || text_[at_] < 0x80) return false;
    unsafe_ = "the character " + codePointName(text_[at_]) +
              " after a backslash in a multi-line string must be written as an escape (\\u or \\U)";
    return true;
  }

  void leaveAt(bool end) {
    ++at_;
    if (end) place_ = Place::Outside;
  }

  std::u32string_view text_;
  std::size_t at_ = 0;
  std::optional<std::string> unsafe_;
  Place place_ = Place::Outside;
  Expect expect_ = Expect::Key;
  std::u32string open_;        // the arrays and inline tables of the value being read
  char32_t previous_ = U'\n';  // outside strings and comments
};

TomlTextFault faultAt(std::u32string_view points, std::size_t at, std::string reason) {
  TomlTextFault fault{1, 1, std::move(reason)};
  for (std::size_t i = 0; i < at && i < points.size(); ++i) {
    if (points[i] == U'\n') {
      ++fault.line;
      fault.column = 1;
    } else {
      ++fault.column;
    }
  }
  return fault;
}

}  // namespace

std::optional<TomlTextFault> findUnsafeTomlText(std::string_view text) {
  const DecodedText decoded = decodeUtf8(text);
  if (!decoded.valid) return faultAt(decoded.points, decoded.validPoints, notUtf8Reason(decoded.invalidLead));
  if (const auto control = firstControlCharacter(decoded.points)) {
    return faultAt(decoded.points, *control,
                   "the control character " + codePointName(decoded.points[*control]) +
                       " is not allowed; in a basic string write it as an escape (\\u)");
  }
  if (auto unsafe = Walk(decoded.points).firstUnsafe()) {
    return faultAt(decoded.points, unsafe->first, std::move(unsafe->second));
  }
  return std::nullopt;
}

}  // namespace runvo::pack
