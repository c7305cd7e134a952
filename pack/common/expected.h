// Results of the builder's operations. Failures travel as values, so the
// library never exits or throws across its interface and tests can check
// every message.
#pragma once
#include <string>
#include <utility>

#include "util/outcome.h"

namespace runvo::pack {

struct PackError {
  std::string message;
};

template <typename T>
using Expected = runvo::Expected<T, PackError>;

struct Done {};
using Status = Expected<Done>;

inline PackError failure(std::string message) { return PackError{std::move(message)}; }

}  // namespace runvo::pack
