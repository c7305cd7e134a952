// The spine of the launcher: start-up, then exactly one of the service
// verbs, the child run or the service host.
#pragma once
#include <string_view>

namespace runvo {

// Returns the process exit code.
int runvoMain(std::string_view commandTail);

}  // namespace runvo
