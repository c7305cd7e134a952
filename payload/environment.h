// Environment variables of this process.
#pragma once
#include <string>

namespace runvo {

// The largest environment value Windows keeps: a PATH read with it is never cut.
inline constexpr unsigned long kLargestVariableCapacity = 32768;

// Empty when unset, empty, or longer than `capacity` - 1 characters.
std::string environmentVariable(const char* name, unsigned long capacity = 8192);
// PATH, however long it is.
inline std::string wholePathVariable() { return environmentVariable("PATH", kLargestVariableCapacity); }

// Sets PATH for Windows and for the C runtime's copy of the environment, which
// libraries loaded later may read. Logs "Setting <label> <value>", or that
// line followed by " failed with error <code>".
void setPathEverywhere(const std::string& value, const char* label);

}  // namespace runvo
