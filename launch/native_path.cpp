#include "launch/native_path.h"

#include "diag/log.h"
#include "payload/environment.h"
#include "payload/expand.h"
#include "util/paths.h"

namespace runvo {

void setNativeLibraryPath(const LaunchSettings& settings, const LauncherValues& values) {
  std::string directories = settings.nativeLibraryPath;
  writeLog("native lib dir is %s", directories.c_str());
  expandVariablesInPlace(directories, values);
  std::string path = absolutePathList(directories);
  if (!path.empty() && path.back() != ';') path += ';';
  // The old PATH is kept whole, however long it is.
  path += wholePathVariable();
  setPathEverywhere(path, "PATH (native libs)");
}

}  // namespace runvo
