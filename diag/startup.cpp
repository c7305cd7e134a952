#include "diag/startup.h"

#include "payload/config.h"
#include "util/paths.h"

namespace runvo {

namespace {
char flavour = '\0';
}

void runStartup() {
  loadConfigTable();
  const std::string letter = getConfigString(kKeyFlavour, 2);
  flavour = letter.empty() ? '\0' : letter[0];

  const std::string workingDirectory = getConfigString(kKeyWorkingDirectory);
  if (!workingDirectory.empty()) {
    // A directory that does not exist leaves the inherited one in place.
    SetCurrentDirectoryA(fullPath(workingDirectory, /*keepCase=*/true).c_str());
  }
}

char launcherFlavour() { return flavour; }
bool isInstallerFlavour() { return flavour == 'i'; }

}  // namespace runvo
