// Puts the application's native library directories in front of PATH, so
// that Windows and the Java runtime both find its libraries.
#pragma once

namespace runvo {

void setNativeLibraryPath();

}  // namespace runvo
