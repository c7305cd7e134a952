// The verbs parse and reach this point, but talking to the Service Control
// Manager is not part of this build yet: each verb says so and fails, so no
// script takes it for success.
#include "service/service_control.h"

#include <cstdio>

#include "launcher/service_name.h"

namespace runvo {

namespace {
int notAvailable(const char* verb, const char* details = "") {
  std::fprintf(stderr, "runvo: \"%s\" for service '%s'%s is not available in this build.\n", verb,
               serviceName().c_str(), details);
  std::fflush(stderr);
  return 1;
}
}  // namespace

int installService(std::uint32_t startType, bool interactive) {
  char details[64];
  std::snprintf(details, sizeof details, " (start type %u, %s)", static_cast<unsigned>(startType),
                interactive ? "interactive" : "non-interactive");
  return notAvailable("install", details);
}

int uninstallService(bool) { return notAvailable("uninstall"); }
int startService() { return notAvailable("start"); }
int stopService(bool) { return notAvailable("stop"); }
int queryServiceStatus() { return notAvailable("status"); }

}  // namespace runvo
