#include "diag/startup.h"

#include "payload/config.h"
#include "util/paths.h"

namespace runvo {

namespace {
char flavour = '\0';
}

void runStartup() {
  loadConfigTable();
  applyStartupSettings(configTable());
}

void applyStartupSettings(const ConfigTable& table) {
  const std::string letter = table.getString(kKeyFlavour, 2);
  flavour = letter.empty() ? '\0' : letter[0];

  const std::string workingDirectory = table.getString(kKeyWorkingDirectory);
  if (!workingDirectory.empty()) {
    // A directory that does not exist leaves the inherited one in place.
    SetCurrentDirectoryA(fullPath(workingDirectory, /*keepCase=*/true).c_str());
  }
}

char launcherFlavour() { return flavour; }
bool isInstallerFlavour() { return flavour == 'i'; }

}  // namespace runvo
