#include "bridge/host_jvm.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "bridge/wine_side.h"

namespace runvo::bridge {

namespace {
constexpr char kOverrideVariable[] = "RUNVO_BRIDGE_LIBJVM";
constexpr char kLocationFile[] = "libjvm.location";
constexpr char kDefaultLibjvm[] = "/usr/lib/jvm/java-17-openjdk-amd64/lib/server/libjvm.so";

std::string libjvmPath() {
  if (const char* path = std::getenv(kOverrideVariable); path != nullptr && *path != '\0') return path;
  if (auto line = lineBesideModule(kLocationFile); line && !line->empty()) return *line;
  if (const char* home = std::getenv("JAVA_HOME"); home != nullptr && home[0] == '/') {
    const std::string candidate = std::string(home) + "/lib/server/libjvm.so";
    if (access(candidate.c_str(), R_OK) == 0) return candidate;
  }
  return kDefaultLibjvm;
}

template <typename Function>
bool resolve(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  if (function == nullptr) std::fprintf(stderr, "jvm.dll bridge: %s has no %s\n", "libjvm.so", name);
  return function != nullptr;
}

std::optional<HostJvm> load() {
  const std::string path = libjvmPath();
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (library == nullptr) {
    std::fprintf(stderr, "jvm.dll bridge: cannot load the Linux JVM %s: %s\n", path.c_str(), dlerror());
    return std::nullopt;
  }
  HostJvm jvm;
  if (!resolve(library, "JNI_CreateJavaVM", jvm.createJavaVm) ||
      !resolve(library, "JNI_GetDefaultJavaVMInitArgs", jvm.defaultInitArgs) ||
      !resolve(library, "JNI_GetCreatedJavaVMs", jvm.createdJavaVms)) {
    return std::nullopt;
  }
  return jvm;
}
}  // namespace

const HostJvm* hostJvm() {
  static std::once_flag once;
  static std::optional<HostJvm> jvm;
  std::call_once(once, [] { jvm = load(); });
  return jvm ? &*jvm : nullptr;
}

}  // namespace runvo::bridge
