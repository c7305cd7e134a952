// A runtime shipped with its class archives in packed form is unpacked with
// its own "bin\unpack200.exe" before it is tested.
#pragma once
#include <string>

#include "util/outcome.h"

namespace runvo {

// Unpacks the runtime in `home` when "lib\rt.jar.pack" exists and
// "lib\jsse.jar" does not. An unpacker that cannot be started fails with
// message 1009, "20".
Status prepareJre(const std::string& home);

}  // namespace runvo
