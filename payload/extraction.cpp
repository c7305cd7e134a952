#include "payload/extraction.h"

#include <algorithm>
#include <vector>

#include "diag/log.h"
#include "payload/config.h"
#include "payload/embedded_name_rules.h"
#include "payload/own_executable.h"
#include "payload/payload_writer.h"
#include "payload/temp_dirs.h"
#include "util/text.h"

namespace runvo {

namespace {
constexpr DWORD kChunkSize = 8192;

// False when a read or write failed; the log says which.
bool copyData(HANDLE input, HANDLE output, std::int64_t size) {
  unsigned char chunk[kChunkSize];
  std::int64_t copied = 0;
  while (copied < size) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::int64_t>(kChunkSize, size - copied));
    DWORD got = 0;
    if (!ReadFile(input, chunk, wanted, &got, nullptr) || got == 0) {
      writeErrorLog("ReadFile failed %d %d %I64d", static_cast<int>(got), static_cast<int>(GetLastError()),
                    copied);
      return false;
    }
    for (DWORD i = 0; i < got; ++i) chunk[i] ^= kScrambleKey;
    for (DWORD written = 0; written < got;) {
      DWORD now = 0;
      if (!WriteFile(output, chunk + written, got - written, &now, nullptr)) {
        writeErrorLog("WriteFile failed %d %d", static_cast<int>(got - written), static_cast<int>(GetLastError()));
        return false;
      }
      written += now;
    }
    copied += got;
  }
  return true;
}

// Fails at once on a damaged size or a file that cannot be created; a failed
// copy comes back as `false` for the caller to clean up.
Outcome<bool> extractOne(HANDLE input, const std::string& path) {
  FileSource source(input);
  PayloadReader sizeReader(source);
  std::int64_t size = 0;
  if (!sizeReader.readLong(size)) return textFailure(internalErrorText(Reader::Long), "reading a file record");
  writeLog("extracting %s (size: %I64d)", path.c_str(), size);
  if (size <= 0) return true;
  // Created new: never opened over something that is already there.
  UniqueHandle output(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
  if (!output) return keyedFailure(kMsgInternalError, "11", "creating " + path, GetLastError());
  return copyData(input, output.get(), size);
}

// Every folder of the name, so that a whole tree (a bundled Java runtime) can
// travel in the payload.
void createFolders(const std::string& directory, const std::string& name) {
  for (std::size_t backslash = name.find('\\'); backslash != std::string::npos;
       backslash = name.find('\\', backslash + 1)) {
    const std::string path = directory + "\\" + name.substr(0, backslash);
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
  auto executable = openOwnExecutable();
  if (!executable) return executable.takeError();
  SetFilePointer(executable->get(), static_cast<LONG>(tableEndPosition()), nullptr, FILE_BEGIN);

  int handled = 0;
  for (const std::string& name : splitNonEmpty(getConfigString(kKeyEmbeddedFileNames), ';')) {
    if (handled++ >= count) break;
    const std::string target = *directory + "\\" + name;
    bool copied = false;
    if (auto unsafe = unsafeEmbeddedName(name)) {
      writeErrorLog("refusing to extract %s: %s", name.c_str(), describeUnsafeName(*unsafe).c_str());
    } else {
      createFolders(*directory, name);
      auto result = extractOne(executable->get(), target);
      if (!result) {
        // Nothing of a failed extraction stays, at any depth.
        created->ownerLock.reset();
        removeDirectoryTree(*directory);
        return result.takeError();
      }
      copied = *result;
    }
    if (!copied) {
      writeErrorLog("Failed to extract %s", target.c_str());
      created->ownerLock.reset();
      removeDirectoryTree(*directory);
      return keyedFailure(kMsgInternalError, "16", "extracting " + target);
    }
  }
  const std::uint32_t unextracted = SetFilePointer(executable->get(), 0, nullptr, FILE_CURRENT);
  writeLog("extracting files done");
  return ExtractedFiles{*directory, unextracted, std::move(created->ownerLock)};
}

}  // namespace runvo
