// Finds where the executable image ends, which is where the payload starts:
// the end of the raw data of the last entry in the section table.
#pragma once
#include <cstdint>

#include "payload/readers.h"

namespace runvo {

// Positions the reader's source at the image end. Returns false when a header
// field cannot be read (the reader remembers which).
bool seekImageEnd(PayloadReader& reader);

}  // namespace runvo
