// The payload code logs its steps for the launcher's diagnostic log. The
// builder reports through its own messages, so those lines go nowhere.
#include "diag/log.h"

namespace runvo {

void writeLog(const char*, ...) {}
void writeErrorLog(const char*, ...) {}
std::optional<std::string> getLogPath() { return std::nullopt; }

}  // namespace runvo
