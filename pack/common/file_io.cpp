#include "pack/common/file_io.h"

#include <fstream>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "pack/common/platform.h"
#include "pack/common/text_encoding.h"

namespace runvo::pack {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kLargestFile = 0x7FFFFFFF;

void removeQuietly(const fs::path& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

Status writeWholeFile(const fs::path& path, const StreamWriter& write) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return failure("cannot create " + quotedPath(path));
  if (auto written = write(out); !written) return written;
  out.close();
  if (!out) return failure("cannot write " + quotedPath(path));
  return Done{};
}

// The size of a regular file the launcher could address, without opening it.
Expected<std::uint64_t> regularFileSize(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error) return failure("cannot read " + quotedPath(path) + ": " + error.message());
  if (!fs::is_regular_file(status)) return failure(quotedPath(path) + " is not a regular file");
  const std::uintmax_t size = fs::file_size(path, error);
  if (error) return failure("cannot read " + quotedPath(path) + ": " + error.message());
  if (size > kLargestFile) return failure(quotedPath(path) + " is 2 GiB or larger");
  return size;
}

}  // namespace

fs::path pathFromUtf8(std::string_view utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string displayPath(const fs::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

std::string quotedPath(const fs::path& path) { return quotedForMessage(displayPath(path)); }

Expected<std::uint64_t> readableFileSize(const fs::path& path) {
  auto size = regularFileSize(path);
  if (size && !std::ifstream(path, std::ios::binary)) return failure("cannot open " + quotedPath(path));
  return size;
}

Expected<Bytes> readWholeFile(const fs::path& path) {
  const auto size = regularFileSize(path);
  if (!size) return size.error();
  std::ifstream in(path, std::ios::binary);
  if (!in) return failure("cannot open " + quotedPath(path));
  Bytes bytes(static_cast<std::size_t>(*size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (static_cast<std::uint64_t>(in.gcount()) != *size) {
    return failure("cannot read " + quotedPath(path) + " completely");
  }
  return bytes;
}

FileBytes::FileBytes(FileBytes&& other) noexcept
    : read_(std::move(other.read_)),  // a moved vector keeps its storage, so the view stays valid
      mapping_(std::exchange(other.mapping_, nullptr)),
      view_(std::exchange(other.view_, {})) {}

FileBytes::~FileBytes() {
#ifndef _WIN32
  if (mapping_) munmap(mapping_, view_.size());
#endif
}

Expected<FileBytes> mapWholeFile(const fs::path& path) {
  const auto size = regularFileSize(path);
  if (!size) return size.error();
  FileBytes file;
#ifndef _WIN32
  // An empty file cannot be mapped; it is read like one that cannot for other reasons.
  if (*size > 0) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return failure("cannot open " + quotedPath(path));
    void* mapped = mmap(nullptr, static_cast<std::size_t>(*size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, descriptor, 0);
    close(descriptor);
    if (mapped != MAP_FAILED) {
      file.mapping_ = mapped;
      file.view_ = ByteView(static_cast<const std::uint8_t*>(mapped), static_cast<std::size_t>(*size));
      return file;
    }
  }
#endif
  auto bytes = readWholeFile(path);
  if (!bytes) return bytes.error();
  file.read_ = std::move(*bytes);
  file.view_ = file.read_;
  return file;
}

Status writeFileAtomically(const fs::path& target, const Bytes& bytes) {
  return writeFileAtomically(target, [&bytes](std::ostream& out) -> Status {
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return Done{};
  });
}

Status writeFileAtomically(const fs::path& target, const StreamWriter& write) {
  const fs::path directory = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  if (!fs::is_directory(directory)) {
    return failure("cannot write " + quotedPath(target) + ": the directory " + quotedPath(directory) +
                   " does not exist");
  }
  fs::path temporary = target;
  temporary += ".tmp" + std::to_string(currentProcessId());

  if (auto written = writeWholeFile(temporary, write); !written) {
    removeQuietly(temporary);
    return written;
  }
  std::error_code error;
  fs::rename(temporary, target, error);
  if (error) {
    removeQuietly(temporary);
    return failure("cannot replace " + quotedPath(target) + ": " + error.message());
  }
  return Done{};
}

}  // namespace runvo::pack
