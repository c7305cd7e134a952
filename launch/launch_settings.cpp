#include "launch/launch_settings.h"

#include "payload/config_keys.h"

namespace runvo {

namespace {
std::optional<int> numberIfSet(const ConfigTable& table, std::int32_t key) {
  if (!table.narrow().contains(key)) return std::nullopt;
  return table.getInt(key);
}
}  // namespace

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
      .outputRolling = {.rollBytes = numberIfSet(table, kKeyOutputRollBytes),
                        .daily = table.getInt(kKeyOutputRollDaily) != 0,
                        .keptFiles = numberIfSet(table, kKeyOutputKeptFiles),
                        .keptDays = numberIfSet(table, kKeyOutputKeptDays)},
  };
}

}  // namespace runvo
