// Small text helpers of the portable code.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace runvo {

// The pieces between separators; empty pieces (doubled or trailing
// separators) are dropped.
std::vector<std::string> splitNonEmpty(std::string_view text, char separator);

}  // namespace runvo
