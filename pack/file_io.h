// Whole-file reads and all-or-nothing writes. Paths travel as UTF-8 text and
// become std::filesystem::path only here, so non-ASCII names work on Windows.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "pack/expected.h"
#include "payload/payload_writer.h"

namespace runvo::pack {

std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string displayPath(const std::filesystem::path& path);

// Messages name the file. Files the launcher could not address (2 GiB and
// more) are refused before anything is read.
Expected<Bytes> readWholeFile(const std::filesystem::path& path);

// The size of a file that readWholeFile would read, found without reading it:
// embedded files are read only while the executable is written.
Expected<std::uint64_t> readableFileSize(const std::filesystem::path& path);

// Writes a temporary file beside the target and renames it over the target,
// so the target is either the old file or the complete new one.
Status writeFileAtomically(const std::filesystem::path& target, const Bytes& bytes);

// The same with the content written by `write`, which may seek back in the
// stream; a failure it returns leaves the target as it was.
using StreamWriter = std::function<Status(std::ostream&)>;
Status writeFileAtomically(const std::filesystem::path& target, const StreamWriter& write);

}  // namespace runvo::pack
