#include "pack/config/runtime_bundle.h"

#include <algorithm>
#include <optional>

#include "pack/common/file_io.h"

namespace runvo::pack {

namespace fs = std::filesystem;

namespace {

// The file an entry of the walk stands for; nothing for a folder.
Expected<std::optional<BundledFile>> bundledFile(const fs::path& runtime, const fs::directory_entry& entry) {
  std::error_code error;
  const fs::file_status status = entry.status(error);
  if (fs::is_directory(status)) {
    if (entry.is_symlink(error)) {
      return failure(quotedPath(entry.path()) +
                     " is a link to a folder, which runvo-pack does not follow; "
                     "copy the folder there instead");
    }
    return std::nullopt;
  }
  if (!fs::is_regular_file(status))
    return failure(quotedPath(entry.path()) + " is neither a file nor a folder (a broken link?)");
  const std::uintmax_t size = entry.file_size(error);
  if (error) return failure("cannot read " + quotedPath(entry.path()) + ": " + error.message());
  const std::u8string relative = entry.path().lexically_relative(runtime).generic_u8string();
  return BundledFile{std::string(kBundleFolder) + "/" + std::string(relative.begin(), relative.end()), entry.path(),
                     size};
}

}  // namespace

Expected<std::vector<BundledFile>> listRuntimeBundle(const fs::path& runtime) {
  std::error_code error;
  if (!fs::is_directory(runtime, error)) return failure(quotedPath(runtime) + " is not a folder");
  // jlink links a runtime for the platform of the jmods it is given: on a
  // Linux machine, a Linux one, which no Windows launcher can start.
  if (!fs::is_regular_file(runtime / "bin" / "java.exe", error)) {
    return failure(quotedPath(runtime) +
                   " holds no bin/java.exe, so it is no Windows Java runtime (jlink links one "
                   "from a Windows JDK's jmods: --module-path WINDOWS_JDK/jmods)");
  }
  std::vector<BundledFile> files;
  for (fs::recursive_directory_iterator it(runtime, error), end; !error && it != end; it.increment(error)) {
    auto file = bundledFile(runtime, *it);
    if (!file) return file.error();
    if (*file) files.push_back(std::move(**file));
  }
  if (error) return failure("cannot list " + quotedPath(runtime) + ": " + error.message());
  std::ranges::sort(files, {}, &BundledFile::name);
  return files;
}

}  // namespace runvo::pack
