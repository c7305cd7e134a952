// Small text helpers of the portable code.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace runvo {

// The pieces between separators; empty pieces (doubled or trailing
// separators) are dropped.
std::vector<std::string> splitNonEmpty(std::string_view text, char separator);

// Windows compares file names this way: only ASCII letters fold.
char asciiUpper(char c);
bool equalsIgnoringAsciiCase(std::string_view left, std::string_view right);

}  // namespace runvo
