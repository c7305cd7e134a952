// What the configuration says about choosing and loading a Java runtime,
// read once from the table into one record.
#pragma once
#include <string>

#include "jvm/version_rules.h"
#include "payload/config_table.h"

namespace runvo {

struct JvmSettings {
  VersionBounds bounds;
  bool allowPrerelease = false;  // for every source, not only directories
  bool requireJdk = false;
  bool windowed = false;  // the application takes javaw.exe
  std::string searchSequence;
  std::string variant;  // the preferred jvm.dll folder, before the built-in ones
  std::string applicationDirectory;
  std::string installationValue;  // names earlier installations in the registry
};

JvmSettings readJvmSettings(const ConfigTable& table);

}  // namespace runvo
