// Splits wide command lines and configured argument texts into arguments.
// Only the space separates; double and single quotes both group, and
// backslashes are ordinary characters.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "util/wide.h"

namespace runvo {

using ArgumentVector = std::vector<WideString>;

// Appends the arguments of `text` to `into`. Returns false, with `into`
// holding the arguments before the fault, when a quote has no closing partner.
[[nodiscard]] bool trySplitCommandLine(WideView text, ArgumentVector& into);

// The same rule for configured UTF-8 words (a program and its arguments).
[[nodiscard]] bool trySplitWords(std::string_view text, std::vector<std::string>& into);

// One argument quoted for a program that splits its command line as the
// Microsoft C runtime does (most Windows programs), so that it gets the
// argument back unchanged: quotes around it where it holds a blank or a
// quote or is empty, a quote escaped, the backslashes before a quote doubled.
WideString quotedForProgram(WideView argument);
// The program and its arguments as one command line for CreateProcess.
WideString programCommandLine(const ArgumentVector& arguments);

// A whole process command line: the program by Windows' own rule (a quoted
// name ends at its closing quote, an unquoted one at the first blank), so
// that a path such as C:\O'Brien\svc.exe stays one item, then the
// arguments as trySplitCommandLine splits them.
[[nodiscard]] bool trySplitProcessCommandLine(WideView line, ArgumentVector& into);

}  // namespace runvo
