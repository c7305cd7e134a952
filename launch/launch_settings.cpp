#include "launch/launch_settings.h"

#include "payload/config_keys.h"

namespace runvo {

LaunchSettings readLaunchSettings(const ConfigTable& table) {
  const std::string flavour = table.getString(kKeyFlavour, 2);
  return {
      .flavour = flavour.empty() ? '\0' : flavour[0],
      .windowed = table.getInt(kKeyApplicationType) == kAppTypeWindowed,
      .mainClass = table.getString(kKeyMainClass),
      .vmOptions = table.getString(kKeyVmOptions),
      .arguments = table.getString(kKeyArguments),
      .jOptionsToVm = table.getInt(kKeyJOptionsToVm) != 0,
      .classPath = table.getString(kKeyClassPath),
      .applicationDirectory = table.getString(kKeyApplicationDirectory),
      .nativeLibraryPath = table.getString(kKeyNativeLibraryPath),
      .processCommFile = table.getInt(kKeyProcessCommFile) != 0,
      .standardError = {table.getInt(kKeyRedirectStderr) != 0, table.getString(kKeyStderrFile)},
      .standardOutput = {table.getInt(kKeyRedirectStdout) != 0, table.getString(kKeyStdoutFile)},
      .appendOutput = table.getInt(kKeyAppendOutput) != 0,
  };
}

}  // namespace runvo
