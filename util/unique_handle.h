// One owning wrapper for every kind of Windows handle. Closing keeps the
// thread's last error, so a failure can still be reported after clean-up.
#pragma once
#include <utility>

#include "util/base_api.h"
#include "util/win.h"

namespace runvo {

template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() = default;
  explicit UniqueResource(Type value) : value_(value) {}
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  ~UniqueResource() { reset(); }

  Type get() const { return value_; }
  explicit operator bool() const { return Traits::isValid(value_); }
  Type release() { return std::exchange(value_, Traits::invalid()); }
  void reset(Type value = Traits::invalid()) {
    const Type old = std::exchange(value_, value);
    if (Traits::isValid(old)) {
      const DWORD error = GetLastError();
      Traits::close(old);
      SetLastError(error);
    }
  }
  // For out-parameters of API calls: frees what is held and hands out the slot.
  Type* put() {
    reset();
    return &value_;
  }

 private:
  Type value_ = Traits::invalid();
};

namespace handle_traits {
struct Kernel {
  using Type = HANDLE;
  static Type invalid() { return nullptr; }
  static bool isValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(Type h) { CloseHandle(h); }
};
struct Find {
  using Type = HANDLE;
  static Type invalid() { return INVALID_HANDLE_VALUE; }
  static bool isValid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void close(Type h) { FindClose(h); }
};
struct RegistryKey {
  using Type = HKEY;
  static Type invalid() { return nullptr; }
  static bool isValid(Type h) { return h != nullptr; }
  static void close(Type h) { base_api::RegCloseKey(h); }
};
struct ServiceHandle {
  using Type = SC_HANDLE;
  static Type invalid() { return nullptr; }
  static bool isValid(Type h) { return h != nullptr; }
  static void close(Type h) { CloseServiceHandle(h); }
};
struct Module {
  using Type = HMODULE;
  static Type invalid() { return nullptr; }
  static bool isValid(Type h) { return h != nullptr; }
  static void close(Type h) { FreeLibrary(h); }
};
// Memory the system handed out with LocalAlloc (SIDs, ACLs, security descriptors).
struct LocalMemory {
  using Type = HLOCAL;
  static Type invalid() { return nullptr; }
  static bool isValid(Type h) { return h != nullptr; }
  static void close(Type h) { LocalFree(h); }
};
}  // namespace handle_traits

using UniqueHandle = UniqueResource<handle_traits::Kernel>;
using UniqueFindHandle = UniqueResource<handle_traits::Find>;
using UniqueHKey = UniqueResource<handle_traits::RegistryKey>;
using UniqueServiceHandle = UniqueResource<handle_traits::ServiceHandle>;
using UniqueModule = UniqueResource<handle_traits::Module>;
using UniqueLocalMemory = UniqueResource<handle_traits::LocalMemory>;

}  // namespace runvo
