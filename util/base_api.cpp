#include "util/base_api.h"

#include <cpuid.h>
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace runvo::base_api {
namespace {

FARPROC findProcedure(const char* name) {
  if (HMODULE kernelBase = GetModuleHandleW(L"kernelbase.dll")) {
    if (FARPROC procedure = GetProcAddress(kernelBase, name)) return procedure;
  }
  // A known system library: the loader takes it from the system folder only.
  static const HMODULE advapi = LoadLibraryW(L"advapi32.dll");
  return advapi ? GetProcAddress(advapi, name) : nullptr;
}

template <typename Function>
Function* resolve(const char* name) {
  return reinterpret_cast<Function*>(reinterpret_cast<void*>(findProcedure(name)));
}

template <typename Function, typename... Arguments>
LSTATUS callStatus(Function* function, Arguments... arguments) {
  return function ? function(arguments...) : ERROR_PROC_NOT_FOUND;
}

template <typename Function, typename... Arguments>
BOOL callBool(Function* function, Arguments... arguments) {
  if (function) return function(arguments...);
  SetLastError(ERROR_PROC_NOT_FOUND);
  return FALSE;
}

bool processorHasRandom() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_RDRND) != 0;
}

// Some processors report a generator that answers all ones (or nothing) after
// a firmware fault; such an answer counts as none.
__attribute__((target("rdrnd"))) bool processorRandom(std::uint64_t& value) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    unsigned long long drawn = 0;
    if (_rdrand64_step(&drawn) && drawn != 0 && drawn != ~0ULL) {
      value = drawn;
      return true;
    }
  }
  return false;
}

bool fillFromProcessor(void* buffer, std::size_t size) {
  static const bool available = processorHasRandom();
  if (!available) return false;
  auto* bytes = static_cast<unsigned char*>(buffer);
  for (std::size_t offset = 0; offset < size; offset += sizeof(std::uint64_t)) {
    std::uint64_t value = 0;
    if (!processorRandom(value)) return false;
    std::memcpy(bytes + offset, &value, std::min(sizeof value, size - offset));
  }
  return true;
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result) {
  static const auto function = resolve<decltype(::RegOpenKeyExA)>("RegOpenKeyExA");
  return callStatus(function, key, subKey, options, access, result);
}

LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options, REGSAM access,
                        SECURITY_ATTRIBUTES* security, HKEY* result, DWORD* disposition) {
  static const auto function = resolve<decltype(::RegCreateKeyExA)>("RegCreateKeyExA");
  return callStatus(function, key, subKey, reserved, keyClass, options, access, security, result, disposition);
}

LSTATUS RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) {
  static const auto function = resolve<decltype(::RegQueryValueExA)>("RegQueryValueExA");
  return callStatus(function, key, name, reserved, type, data, size);
}

LSTATUS RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
  static const auto function = resolve<decltype(::RegSetValueExA)>("RegSetValueExA");
  return callStatus(function, key, name, reserved, type, data, size);
}

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameLength, DWORD* reserved, char* keyClass,
                      DWORD* classLength, FILETIME* lastWrite) {
  static const auto function = resolve<decltype(::RegEnumKeyExA)>("RegEnumKeyExA");
  return callStatus(function, key, index, name, nameLength, reserved, keyClass, classLength, lastWrite);
}

LSTATUS RegCloseKey(HKEY key) {
  static const auto function = resolve<decltype(::RegCloseKey)>("RegCloseKey");
  return callStatus(function, key);
}

BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) {
  static const auto function = resolve<decltype(::OpenProcessToken)>("OpenProcessToken");
  return callBool(function, process, access, token);
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, void* information, DWORD size, DWORD* needed) {
  static const auto function = resolve<decltype(::GetTokenInformation)>("GetTokenInformation");
  return callBool(function, token, kind, information, size, needed);
}

BOOL CreateWellKnownSid(WELL_KNOWN_SID_TYPE kind, PSID domain, PSID sid, DWORD* size) {
  static const auto function = resolve<decltype(::CreateWellKnownSid)>("CreateWellKnownSid");
  return callBool(function, kind, domain, sid, size);
}

BOOL InitializeAcl(ACL* acl, DWORD size, DWORD revision) {
  static const auto function = resolve<decltype(::InitializeAcl)>("InitializeAcl");
  return callBool(function, acl, size, revision);
}

BOOL AddAccessAllowedAceEx(ACL* acl, DWORD revision, DWORD flags, DWORD access, PSID sid) {
  static const auto function = resolve<decltype(::AddAccessAllowedAceEx)>("AddAccessAllowedAceEx");
  return callBool(function, acl, revision, flags, access, sid);
}

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
  static const auto function = resolve<decltype(::InitializeSecurityDescriptor)>("InitializeSecurityDescriptor");
  return callBool(function, descriptor, revision);
}

BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, ACL* acl, BOOL defaulted) {
  static const auto function = resolve<decltype(::SetSecurityDescriptorDacl)>("SetSecurityDescriptorDacl");
  return callBool(function, descriptor, present, acl, defaulted);
}

BOOL SetSecurityDescriptorControl(PSECURITY_DESCRIPTOR descriptor, SECURITY_DESCRIPTOR_CONTROL mask,
                                  SECURITY_DESCRIPTOR_CONTROL bits) {
  static const auto function = resolve<decltype(::SetSecurityDescriptorControl)>("SetSecurityDescriptorControl");
  return callBool(function, descriptor, mask, bits);
}

BOOL GetKernelObjectSecurity(HANDLE object, SECURITY_INFORMATION wanted, PSECURITY_DESCRIPTOR descriptor, DWORD size,
                             DWORD* needed) {
  static const auto function = resolve<decltype(::GetKernelObjectSecurity)>("GetKernelObjectSecurity");
  return callBool(function, object, wanted, descriptor, size, needed);
}

BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID* owner, BOOL* defaulted) {
  static const auto function = resolve<decltype(::GetSecurityDescriptorOwner)>("GetSecurityDescriptorOwner");
  return callBool(function, descriptor, owner, defaulted);
}

BOOL EqualSid(PSID first, PSID second) {
  static const auto function = resolve<decltype(::EqualSid)>("EqualSid");
  return callBool(function, first, second);
}

bool fillRandom(void* buffer, std::size_t size) {
  if (fillFromProcessor(buffer, size)) return true;
  // advapi32's RtlGenRandom; kernelbase has none.
  static const auto function = resolve<BOOLEAN WINAPI(void*, ULONG)>("SystemFunction036");
  return function && function(buffer, static_cast<ULONG>(size)) != FALSE;
}

}  // namespace runvo::base_api
