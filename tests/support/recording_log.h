// The log as the portable code's tests see it: every line kept in memory.
#pragma once
#include <string>
#include <vector>

namespace runvo::testing {

std::vector<std::string>& recordedLogLines();

}  // namespace runvo::testing
