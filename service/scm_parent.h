// Whether this process was started by the Service Control Manager, decided
// before the dispatcher is called: a person who runs the executable without
// a verb then gets the usage at once instead of the dispatcher's failure.
#pragma once

namespace runvo {

// True when the parent process is the manager's own (services.exe).
bool startedByServiceManager();

}  // namespace runvo
