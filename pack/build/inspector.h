// Lists what a built executable carries: every configuration key with its
// readable name and text, and the embedded file records. The format is
// line-based and stable (see pack/README.md); scripts print it.
#pragma once
#include <string>

#include "pack/common/expected.h"
#include "payload/payload_writer.h"

namespace runvo::pack {

struct Inspection {
  std::string listing;
  // A "warning" line was written: the launcher would not extract the files
  // the way the tables say.
  bool damaged = false;
};

// Messages do not name the file; the caller does.
Expected<Inspection> inspectExecutable(const Bytes& executable);

// A text as one quoted line: the narrow table's Windows-1252 bytes or the
// wide table's UTF-16 shown as UTF-8, with \\ \" \n \r \t and \xHH or \uXXXX
// for everything that is not printable.
std::string quotedNarrowText(std::string_view windows1252);
std::string quotedWideText(const WideString& utf16);

}  // namespace runvo::pack
