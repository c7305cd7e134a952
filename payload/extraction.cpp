#include "payload/extraction.h"

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

#include "diag/log.h"
#include "payload/config.h"
#include "payload/embedded_name_rules.h"
#include "payload/own_executable.h"
#include "payload/payload_writer.h"
#include "payload/temp_dirs.h"
#include "util/text.h"
#include "util/win_text.h"

namespace runvo {

namespace {
// Each read and write is a system call (under Wine a wineserver round trip
// too): in 8 KiB steps extraction took half as long again as a copy of the
// same bytes. Measured with bench/run under Wine 8, 500 MiB: 64 KiB reached
// 0.95 of CopyFileW's throughput, 128 KiB 0.98, 256 KiB 1.16-1.22, 512 KiB
// 1.15. One buffer serves the whole run, so memory stays flat however much
// is embedded.
constexpr DWORD kChunkSize = 256 * 1024;

// What went wrong with a copy, said on standard error after the message;
// empty when the copy was complete.
std::string copyData(HANDLE input, HANDLE output, std::int64_t size, const std::string& target,
                     std::span<unsigned char> chunk) {
  std::int64_t copied = 0;
  while (copied < size) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::int64_t>(chunk.size(), size - copied));
    DWORD got = 0;
    if (!ReadFile(input, chunk.data(), wanted, &got, nullptr) || got == 0) {
      const DWORD error = GetLastError();
      writeErrorLog("ReadFile failed %d %d %I64d", static_cast<int>(got), static_cast<int>(error), copied);
      return "The executable ends inside the embedded file " + target + ": it is damaged.";
    }
    scrambleInPlace(chunk.first(got));
    for (DWORD written = 0; written < got;) {
      DWORD now = 0;
      if (!WriteFile(output, chunk.data() + written, got - written, &now, nullptr)) {
        const DWORD error = GetLastError();
        writeErrorLog("WriteFile failed %d %d", static_cast<int>(got - written), static_cast<int>(error));
        return "Could not write " + target + ": " + systemErrorText(error);
      }
      written += now;
    }
    copied += got;
  }
  return {};
}

// Fails at once on a size that cannot be read or a file that cannot be
// created; a negative size or a failed copy comes back as what went wrong,
// for the caller to clean up. An empty file is not created.
Outcome<std::string> extractOne(HANDLE input, const std::string& path, std::span<unsigned char> chunk,
                                bool& created) {
  FileSource source(input);
  PayloadReader sizeReader(source);
  std::int64_t size = 0;
  if (!sizeReader.readLong(size)) return textFailure(internalErrorText(Reader::Long), "reading a file record");
  writeLog("extracting %s (size: %I64d)", path.c_str(), size);
  // No writer makes a negative size: the payload is damaged, and going on
  // would leave the application without its file.
  if (size < 0) {
    writeErrorLog("negative size %I64d", size);
    return "The size of the embedded file " + path + " is damaged (" + std::to_string(size) + "): the executable is damaged.";
  }
  if (size == 0) return std::string();
  // Created new: never opened over something that is already there.
  UniqueHandle output(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
  if (!output) {
    const DWORD error = GetLastError();
    Failure failure = keyedFailure(kMsgInternalError, "11", "creating " + path, error);
    failure.notes.push_back("Could not create " + path + ": " + systemErrorText(error));
    return failure;
  }
  created = true;
  return copyData(input, output.get(), size, path, chunk);
}

// Every folder of the name, so that a whole tree (a bundled Java runtime) can
// travel in the payload.
void createFolders(const std::string& directory, const std::string& name, std::vector<std::string>& created) {
  for (std::size_t backslash = name.find('\\'); backslash != std::string::npos;
       backslash = name.find('\\', backslash + 1)) {
    created.push_back(name.substr(0, backslash));
    const std::string path = directory + "\\" + created.back();
    writeLog("creating directory %s", path.c_str());
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      writeErrorLog("failed to create directory %s", path.c_str());
    }
  }
}
}  // namespace

Outcome<ExtractedFiles> extractFiles(const std::string& ownerId) {
  writeLog("extracting files");
  const int count = getConfigInt(kKeyEmbeddedFileCount);
  writeLog("Included files: %d", count);
  if (count == 0) return ExtractedFiles{};
  auto created = createExtractionDirectory(ownerId);
  if (!created) return created.takeError();
  const std::string* directory = &created->path;
  auto executable = ownExecutable();
  if (!executable) return executable.takeError();
  SetFilePointer(*executable, static_cast<LONG>(tableEndPosition()), nullptr, FILE_BEGIN);
  const auto chunk = std::make_unique_for_overwrite<unsigned char[]>(kChunkSize);
  std::vector<std::string> made;

  int handled = 0;
  for (const std::string& name : splitNonEmpty(getConfigString(kKeyEmbeddedFileNames), ';')) {
    if (handled++ >= count) break;
    const std::string target = *directory + "\\" + name;
    std::string problem;
    if (auto unsafe = unsafeEmbeddedName(name)) {
      writeErrorLog("refusing to extract %s: %s", name.c_str(), describeUnsafeName(*unsafe).c_str());
      problem = "The embedded file name " + name + " is refused: " + describeUnsafeName(*unsafe) + ".";
    } else {
      createFolders(*directory, name, made);
      bool fileCreated = false;
      auto result = extractOne(*executable, target, {chunk.get(), kChunkSize}, fileCreated);
      if (fileCreated) made.push_back(name);
      if (!result) {
        // Nothing of a failed extraction stays, at any depth.
        created->ownerLock.reset();
        removeDirectoryTree(*directory);
        return result.takeError();
      }
      problem = *result;
    }
    if (!problem.empty()) {
      writeErrorLog("Failed to extract %s", target.c_str());
      created->ownerLock.reset();
      removeDirectoryTree(*directory);
      Failure failure = keyedFailure(kMsgInternalError, "16", "extracting " + target);
      failure.notes.push_back(problem);
      return failure;
    }
  }
  const std::uint32_t unextracted = SetFilePointer(*executable, 0, nullptr, FILE_CURRENT);
  writeLog("extracting files done");
  return ExtractedFiles{*directory, unextracted, std::move(created->ownerLock), std::move(made)};
}

}  // namespace runvo
