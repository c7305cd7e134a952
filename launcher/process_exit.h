// The one place where the launcher ends the process early: a failure that
// travelled up from any layer is logged, its message shown, and the process
// ends with the defined code.
#pragma once
#include "util/outcome.h"

namespace runvo {

[[noreturn]] void endWithFailure(const Failure& failure);

// For the service host, once its child has ended: no clean-up of this
// process's statics while the dispatcher's threads may still use them.
[[noreturn]] void endHostProcess(int exitCode);

}  // namespace runvo
