#include "jvm/jvm_loader.h"

#include <cstring>

#include "diag/log.h"
#include "diag/messages.h"
#include "payload/config.h"
#include "util/environment.h"
#include "util/paths.h"

namespace runvo {

namespace {
// The largest environment value Windows keeps, so an old PATH is never cut.
constexpr unsigned long kPathCapacity = 32768;
constexpr const char* kBuiltInVariants[] = {"hotspot", "client", "server", "classic", "jrockit"};

struct LoadedJvm {
  CreateJavaVmFn createJavaVm = nullptr;
  std::string home;
};

LoadedJvm& loaded() {
  static LoadedJvm jvm;
  return jvm;
}

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
  HMODULE library = LoadLibraryA(file.c_str());
  if (exists && library == nullptr) writeLog("Failed with error code %d", static_cast<int>(GetLastError()));
  return library;
}

HMODULE tryBinDirectory(const std::string& javaExe) {
  const std::string binDirectory = binDirectoryOf(javaExe);
  const std::string oldPath = environmentVariable("PATH", kPathCapacity);
  setPathEverywhere(oldPath + ";" + binDirectory, "PATH");
  HMODULE library = nullptr;
  const std::string preferred = getConfigString(kKeyJvmVariant, 200);
  if (!preferred.empty()) library = tryJvmDll(binDirectory, preferred);
  for (const char* variant : kBuiltInVariants) {
    if (library != nullptr) break;
    library = tryJvmDll(binDirectory, variant);
  }
  if (library == nullptr) setPathEverywhere(oldPath, "PATH");
  return library;
}

HMODULE loadJvmLibrary(const std::string& javaExe) {
  if (HMODULE library = tryBinDirectory(javaExe)) return library;
  // A JDK whose own bin holds no JVM may still have its private runtime.
  return tryBinDirectory(binDirectoryOf(javaExe) + "\\..\\jre\\bin\\java.exe");
}

bool resolveCreateJavaVM(HMODULE library) {
  if (library == nullptr) return false;
  auto entry = reinterpret_cast<CreateJavaVmFn>(reinterpret_cast<void*>(GetProcAddress(library, "JNI_CreateJavaVM")));
  if (entry == nullptr) return false;
  loaded().createJavaVm = entry;
  return true;
}

void setJvmHome(const std::string& javaExe) {
  const std::size_t cut = endsWith(javaExe, "javaw.exe") ? 9 : 8;
  loaded().home = javaExe.substr(0, javaExe.size() > cut ? javaExe.size() - cut : 0) + "..";
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

bool LoadDLL(bool fatal) {
  writeLog("LoadDLL (%d, %s, %d)", fatal ? 1 : 0, "(null)", 0);
  const JvmSearchResult found = searchJvm();
  if (found.kind == JvmSourceKind::None) {
    writeErrorLog("No JVM found");
    if (fatal) showMessageByKey(kMsgNoJvmFound, "64");
    return false;
  }
  writeLog("Trying to load JVM-DLL from %s", found.javaExe.c_str());
  HMODULE library = loadJvmLibrary(found.javaExe);
  setJvmHome(found.javaExe);
  if (library == nullptr) writeErrorLog("Could not get DLL-Handle.");
  const bool resolved = resolveCreateJavaVM(library);
  if (!resolved) writeErrorLog("Could not load functions");
  if (library != nullptr && resolved) {
    writeLog("Loading of JVM-DLL successful");
    return true;
  }
  if (fatal) {
    const LoadFailureMessage message = loadFailureMessage(found);
    showMessageByKey(message.key, message.argument);
  }
  return false;
}

CreateJavaVmFn createJavaVmEntry() { return loaded().createJavaVm; }
const std::string& jvmHome() { return loaded().home; }

}  // namespace runvo
