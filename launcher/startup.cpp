#include "launcher/startup.h"

#include "diag/messages.h"
#include "payload/config.h"
#include "util/paths.h"

namespace runvo {

Status runStartup() {
  if (auto loaded = loadConfigTable(); !loaded) {
    // Whatever the damaged payload held before the fault names the message box.
    setMessageDisplay({.messageBox = true, .caption = configTable().getString(kKeyMessageCaption)});
    return loaded;
  }
  applyStartupSettings(configTable());
  return done();
}

void applyStartupSettings(const ConfigTable& table) {
  const int type = table.getInt(kKeyApplicationType);
  setMessageDisplay({.messageBox = type == kAppTypeWindowed || type == kAppTypeMessageBox,
                     .caption = table.getString(kKeyMessageCaption)});

  const std::string workingDirectory = table.getString(kKeyWorkingDirectory);
  if (!workingDirectory.empty()) {
    // A directory that does not exist leaves the inherited one in place.
    SetCurrentDirectoryA(fullPath(workingDirectory, /*keepCase=*/true).c_str());
  }
}

}  // namespace runvo
