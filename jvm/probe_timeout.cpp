#include "jvm/java_check.h"

#ifndef RUNVO_PROBE_TIMEOUT_MS
#define RUNVO_PROBE_TIMEOUT_MS 60000
#endif

namespace runvo {
extern const DWORD kProbeTimeoutMs = RUNVO_PROBE_TIMEOUT_MS;
}
