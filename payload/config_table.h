// The configuration table: numeric keys to narrow (ANSI) and wide (UTF-16)
// texts, and the payload format that carries them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "payload/readers.h"
#include "util/wide.h"

namespace runvo {

inline constexpr std::uint32_t kPayloadMagic = 0xE8E413D5u;
// Capacity of the launcher's text buffers, terminator included.
inline constexpr std::size_t kTextCapacity = 8192;

class ConfigTable {
 public:
  // A later value for the same key replaces the earlier one.
  void setNarrow(std::int32_t key, std::string text) { narrow_[key] = std::move(text); }
  void setWide(std::int32_t key, WideString text) { wide_[key] = std::move(text); }

  // At most capacity - 1 characters of the value; a missing key reads as empty.
  std::string getString(std::int32_t key, std::size_t capacity = kTextCapacity) const;
  WideString getWString(std::int32_t key, std::size_t capacity = kTextCapacity) const;
  // The value read as a decimal integer the way atoi does: missing or
  // non-numeric text is 0; out-of-range values saturate.
  int getInt(std::int32_t key) const;

  const std::map<std::int32_t, std::string>& narrow() const { return narrow_; }
  const std::map<std::int32_t, WideString>& wide() const { return wide_; }

 private:
  std::map<std::int32_t, std::string> narrow_;
  std::map<std::int32_t, WideString> wide_;
};

// atoi: leading white space, an optional sign, decimal digits.
int parseLeadingInt(const std::string& text);

struct PayloadLoad {
  // Empty on success; otherwise the fixed fatal text ("Internal Error: magic", ...).
  std::optional<std::string> fatalText;
  // Where the embedded file records start.
  std::uint32_t tableEnd = 0;
};

// Reads the header and both tables from the reader's current position.
PayloadLoad readPayloadTables(PayloadReader& reader, ConfigTable& table);

// Locates the image end and reads the tables behind it.
PayloadLoad readPayload(ByteSource& executable, ConfigTable& table);

}  // namespace runvo
