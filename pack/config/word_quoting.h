// Joins words into one text that the launcher's command-line splitter takes
// apart into the same words again. Its rules: only the space separates, double
// and single quotes both group, backslashes are ordinary characters, and there
// is no escape for a quote.
#pragma once
#include <string>
#include <vector>

#include "pack/common/expected.h"

namespace runvo::pack {

// A word holding both kinds of quote cannot be written and is refused.
Expected<std::string> joinWordsForSplitter(const std::vector<std::string>& words);

// Words written as one text: the launcher splits it at every start, so a
// quote without its closing partner is refused here rather than there.
Status checkWordsText(const std::string& text);

}  // namespace runvo::pack
