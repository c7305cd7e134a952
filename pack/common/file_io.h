// Whole-file reads and all-or-nothing writes. Paths travel as UTF-8 text and
// become std::filesystem::path only here, so non-ASCII names work on Windows.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "pack/common/byte_fields.h"
#include "pack/common/expected.h"
#include "payload/payload_writer.h"

namespace runvo::pack {

std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string displayPath(const std::filesystem::path& path);
// The path in double quotes for a message, control characters escaped
// (quotedForMessage), so that a name holding a line feed keeps the message
// on its line.
std::string quotedPath(const std::filesystem::path& path);

// Messages name the file. Files the launcher could not address (2 GiB and
// more) are refused before anything is read.
Expected<Bytes> readWholeFile(const std::filesystem::path& path);

// A whole file's bytes, read only. On Linux they are the page cache's own,
// mapped: reading a stub of megabytes into fresh memory costs a page fault
// every 4 KiB, more than the rest of a small build. Elsewhere, or where the
// file cannot be mapped, they are read. The file must not shrink meanwhile.
class FileBytes {
 public:
  FileBytes(FileBytes&& other) noexcept;
  FileBytes& operator=(FileBytes&&) = delete;
  ~FileBytes();

  ByteView view() const { return view_; }

 private:
  friend Expected<FileBytes> mapWholeFile(const std::filesystem::path& path);
  FileBytes() = default;

  Bytes read_;
  void* mapping_ = nullptr;
  ByteView view_;
};

// With the same checks and messages as readWholeFile.
Expected<FileBytes> mapWholeFile(const std::filesystem::path& path);

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
