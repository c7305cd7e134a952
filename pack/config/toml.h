// toml++ as the builder uses it: include this header, never toml++ itself.
//
// Debian's toml++ 3.3.0 states some of its internal preconditions with
// TOML_ASSERT_ASSUME, which a release build turns into __builtin_assume, so
// that a broken one ("[=", "r=[}", "t=1979-05-27 2") is undefined behaviour.
// Here every such precondition is checked and throws, whether or not NDEBUG
// is set; loadPackConfigText turns the exception into a config error. Texts
// that reach its __builtin_unreachable are refused before parsing
// (toml_guard.h).
#pragma once
#include <stdexcept>

namespace runvo::pack {
struct BrokenTomlPrecondition : std::logic_error {
  using std::logic_error::logic_error;
};
}  // namespace runvo::pack

#ifdef NDEBUG
#define RUNVO_PACK_RESTORE_NDEBUG
#undef NDEBUG
#endif
#undef TOML_ASSERT
#define TOML_ASSERT(expr) ((expr) ? static_cast<void>(0) : throw ::runvo::pack::BrokenTomlPrecondition(#expr))
// A check in one of its noexcept functions ends the process instead.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wterminate"
#endif
#include <toml++/toml.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#ifdef RUNVO_PACK_RESTORE_NDEBUG
#define NDEBUG
#undef RUNVO_PACK_RESTORE_NDEBUG
#endif
