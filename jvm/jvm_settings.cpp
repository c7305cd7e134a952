#include "jvm/jvm_settings.h"

#include "payload/config_keys.h"

namespace runvo {

JvmSettings readJvmSettings(const ConfigTable& table) {
  return {
      .bounds = {table.getString(kKeyMinVersion), table.getString(kKeyMaxVersion)},
      .allowPrerelease = table.getInt(kKeyAllowPrerelease) != 0,
      .requireJdk = table.getInt(kKeyRequireJdk) != 0,
      .windowed = table.getInt(kKeyApplicationType) == kAppTypeWindowed,
      .searchSequence = table.getString(kKeySearchSequence),
      .variant = table.getString(kKeyJvmVariant, 200),
      .applicationDirectory = table.getString(kKeyApplicationDirectory),
      .installationValue = table.getString(kKeyInstallationValue),
  };
}

}  // namespace runvo
