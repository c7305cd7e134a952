// Whether a stored embedded-file name is safe to write inside the extraction
// directory. The builder refuses such a name before it reaches a payload, and
// the launcher refuses it again, because a payload can be made by other means.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace runvo {

enum class NameHazard {
  Empty,
  Rooted,            // starts with "\" or "/"
  Drive,             // "C:x": a drive, even without a separator after it
  Colon,             // elsewhere: an alternate data stream, or a device suffix
  ParentSegment,     // ".." as a part, also with trailing dots or spaces
  ControlCharacter,  // below 0x20
  DeviceName,        // CON, NUL, COM1, LPT1 ... with any extension
};

struct UnsafeName {
  NameHazard hazard;
  std::string part;  // the offending part, for DeviceName; otherwise empty
};

// Why the name (Windows-1252, parts separated by "\", though "/" is treated
// as a separator too) would write outside the extraction directory or reach
// something other than a file, or nothing when it is safe.
std::optional<UnsafeName> unsafeEmbeddedName(std::string_view storedName);

// A sentence that says what is wrong, for messages and logs.
std::string describeUnsafeName(const UnsafeName& unsafe);

}  // namespace runvo
