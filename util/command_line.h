// Splits wide command lines and configured argument texts into arguments.
// Only the space separates; double and single quotes both group, and
// backslashes are ordinary characters.
#pragma once
#include <vector>

#include "util/wide.h"

namespace runvo {

using ArgumentVector = std::vector<WideString>;

// Appends the arguments of `text` to `into`. Returns false, with `into`
// holding the arguments before the fault, when a quote has no closing partner.
[[nodiscard]] bool trySplitCommandLine(WideView text, ArgumentVector& into);

// A whole process command line: the program by Windows' own rule (a quoted
// name ends at its closing quote, an unquoted one at the first blank), so
// that a path such as C:\O'Brien\svc.exe stays one item, then the
// arguments as trySplitCommandLine splits them.
[[nodiscard]] bool trySplitProcessCommandLine(WideView line, ArgumentVector& into);

}  // namespace runvo
