// The service verbs: install, remove, start, stop and query the Windows
// service that runs this executable. Each returns the process exit code.
#pragma once
#include <cstdint>
#include <string>

#include "service/log_place_rules.h"

namespace runvo {

int uninstallService(const std::string& name, bool verbose);
// How /start follows the service after asking the manager to start it.
struct StartWatch {
  // How long a service that reached RUNNING is watched before /start is content.
  unsigned seconds = 3;
  // Where the service's reasons are, shown when it does not run.
  ServiceLogPlaces serviceLog;
  // The service reports running only once its readiness check succeeds:
  // running means ready, and no watch is needed.
  bool readinessChecked = false;
};

// Waits until the service runs (as long as its checkpoints advance), then
// watches it; a service that ends meanwhile is a failure, with its reason.
int startService(const std::string& name, const StartWatch& watch);
int stopService(const std::string& name, bool verbose);
// Stops the service as stopService does, then starts it as startService does,
// with the start's messages and exit code; a service that does not run is
// simply started. A stop that fails is the restart's failure: no start.
int restartService(const std::string& name, const StartWatch& watch);
// "Running." or "Not running.", how often the host restarted the application
// (from the service log), where the log is when it is in the fallback
// folder, and whether the service starts with Windows.
int queryServiceStatus(const std::string& name, const ServiceLogPlaces& serviceLog);

}  // namespace runvo
