// Forced into the fuzz build's copy of the builder (fuzz/CMakeLists.txt): a
// broken toml++ precondition throws instead of being assumed, so that the
// fuzz target can tell such input from a finding of the builder's own.
// runvo-pack needs the same: toml++ 3.3.0 breaks its preconditions on input
// such as "[=", "r=[}" or "t=1979-05-27 2" (see fuzz/crashes/pack_config/).
#pragma once
#include <stdexcept>

namespace runvo::fuzz {
struct BrokenTomlPrecondition : std::logic_error {
  using std::logic_error::logic_error;
};
}  // namespace runvo::fuzz

#define TOML_ASSERT(expr) ((expr) ? static_cast<void>(0) : throw ::runvo::fuzz::BrokenTomlPrecondition(#expr))
