// The launcher's log file, a LogSink that the launcher installs at start.
#pragma once
#include "diag/log.h"

namespace runvo {

LogSink& fileLogSink();

}  // namespace runvo
