#include "jvm/jvm_loader.h"

#include <cstring>

#include "diag/log.h"
#include "payload/config_keys.h"
#include "payload/environment.h"
#include "util/paths.h"

namespace runvo {

namespace {
constexpr const char* kBuiltInVariants[] = {"hotspot", "client", "server", "classic", "jrockit"};

bool endsWith(const std::string& text, const char* suffix) {
  const std::size_t length = std::strlen(suffix);
  return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

// The directory of the Java executable, without its trailing backslash.
std::string binDirectoryOf(const std::string& javaExe) {
  const std::size_t cut = endsWith(javaExe, "javaw.exe") ? 10 : 9;
  return javaExe.substr(0, javaExe.size() > cut ? javaExe.size() - cut : 0);
}

HMODULE tryJvmDll(const std::string& binDirectory, const std::string& variant) {
  const std::string file = binDirectory + "\\" + variant + "\\jvm.dll";
  const bool exists = pathExists(file);
  writeLog("Trying %s (exists %d)", file.c_str(), exists ? 1 : 0);
  // A failed load of a missing file costs as much as a small successful one.
  if (!exists) return nullptr;
  // Its own folder is searched first for the DLLs it needs.
  HMODULE library = LoadLibraryExA(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr) writeLog("Failed with error code %d", static_cast<int>(GetLastError()));
  return library;
}

HMODULE tryBinDirectory(const std::string& javaExe, const std::string& preferredVariant) {
  const std::string binDirectory = binDirectoryOf(javaExe);
  const std::string oldPath = wholePathVariable();
  setPathEverywhere(oldPath + ";" + binDirectory, "PATH");
  HMODULE library = nullptr;
  if (!preferredVariant.empty()) library = tryJvmDll(binDirectory, preferredVariant);
  for (const char* variant : kBuiltInVariants) {
    if (library != nullptr) break;
    library = tryJvmDll(binDirectory, variant);
  }
  if (library == nullptr) setPathEverywhere(oldPath, "PATH");
  return library;
}

HMODULE loadJvmLibrary(const std::string& javaExe, const std::string& preferredVariant) {
  if (HMODULE library = tryBinDirectory(javaExe, preferredVariant)) return library;
  // A JDK whose own bin holds no JVM may still have its private runtime.
  return tryBinDirectory(binDirectoryOf(javaExe) + "\\..\\jre\\bin\\java.exe", preferredVariant);
}

CreateJavaVmFn resolveCreateJavaVM(HMODULE library) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<CreateJavaVmFn>(reinterpret_cast<void*>(GetProcAddress(library, "JNI_CreateJavaVM")));
}

std::string jvmHomeOf(const std::string& javaExe) {
  const std::size_t cut = endsWith(javaExe, "javaw.exe") ? 9 : 8;
  return javaExe.substr(0, javaExe.size() > cut ? javaExe.size() - cut : 0) + "..";
}

std::vector<std::string> rejectionNotes(const std::vector<JvmCandidate>& rejected) {
  std::vector<std::string> notes;
  if (rejected.empty()) {
    notes.push_back("No Java runtime was found where the search looked.");
    return notes;
  }
  notes.push_back("Java runtimes looked at:");
  for (const JvmCandidate& candidate : rejected) {
    notes.push_back("  " + candidate.javaExe + " (" + candidate.origin + "): " + candidate.rejection);
  }
  return notes;
}

void logRejected(const std::vector<JvmCandidate>& rejected) {
  for (const JvmCandidate& candidate : rejected) {
    writeLog("rejected %s (%s): %s", candidate.javaExe.c_str(), candidate.origin.c_str(),
             candidate.rejection.c_str());
  }
}
}  // namespace

LoadFailureMessage loadFailureMessage(const JvmSearchResult& found) {
  switch (found.kind) {
    case JvmSourceKind::Directory: return {kMsgJvmDamaged, found.locationText};
    case JvmSourceKind::EnvironmentVariable: return {kMsgJvmVariableUnusable, found.locationText};
    case JvmSourceKind::Registry: return {kMsgJvmNotStartable, std::nullopt};
    case JvmSourceKind::SearchPath:
    case JvmSourceKind::None: break;
  }
  return {kMsgNoJvmFound, "64"};
}

Outcome<LoadedJvm> loadJvm(const JvmSettings& settings, const LauncherValues& values) {
  writeLog("LoadDLL (%d, %s, %d)", 1, "(null)", 0);
  auto found = searchJvm(settings, values);
  if (!found) return found.takeError();
  if (found->kind == JvmSourceKind::None) {
    writeErrorLog("No JVM found");
    logRejected(found->rejected);
    Failure failure = keyedFailure(kMsgNoJvmFound, "64", "searching for a Java runtime");
    failure.notes = rejectionNotes(found->rejected);
    return failure;
  }
  writeLog("Trying to load JVM-DLL from %s", found->javaExe.c_str());
  HMODULE library = loadJvmLibrary(found->javaExe, settings.variant);
  if (library == nullptr) writeErrorLog("Could not get DLL-Handle.");
  const CreateJavaVmFn createJavaVm = resolveCreateJavaVM(library);
  if (createJavaVm == nullptr) {
    writeErrorLog("Could not load functions");
    const LoadFailureMessage message = loadFailureMessage(*found);
    return keyedFailure(message.key, message.argument, "loading jvm.dll of " + found->javaExe);
  }
  writeLog("Loading of JVM-DLL successful");
  return LoadedJvm{createJavaVm, jvmHomeOf(found->javaExe)};
}

}  // namespace runvo
