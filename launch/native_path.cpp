#include "launch/native_path.h"

#include "diag/log.h"
#include "payload/config.h"
#include "util/environment.h"
#include "util/expand.h"
#include "util/paths.h"

namespace runvo {

void setNativeLibraryPath() {
  std::string directories = getConfigString(kKeyNativeLibraryPath);
  writeLog("native lib dir is %s", directories.c_str());
  expandVariablesInPlace(directories);
  std::string path = absolutePathList(directories);
  if (!path.empty() && path.back() != ';') path += ';';
  // The old PATH is kept whole, however long it is.
  path += environmentVariable("PATH", 32768);
  setPathEverywhere(path, "PATH (native libs)");
}

}  // namespace runvo
