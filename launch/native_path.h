// Puts the application's native library directories in front of PATH, so
// that Windows and the Java runtime both find its libraries.
#pragma once
#include "launch/launch_settings.h"

namespace runvo {

void setNativeLibraryPath(const LaunchSettings& settings, const LauncherValues& values);

}  // namespace runvo
