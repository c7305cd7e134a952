// The registry, token and security functions that a child run needs, taken
// from kernelbase.dll, which every process has loaded from its start. Only
// where kernelbase lacks one (older Windows) does advapi32.dll get loaded for
// it. The stub imports advapi32 lazily, so a run that needs nothing else of
// it (the service's child, a console run) never pays for loading it.
#pragma once
#include <cstddef>

#include "util/win.h"

namespace runvo::base_api {

LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options, REGSAM access,
                        SECURITY_ATTRIBUTES* security, HKEY* result, DWORD* disposition);
LSTATUS RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LSTATUS RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LSTATUS RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameLength, DWORD* reserved, char* keyClass,
                      DWORD* classLength, FILETIME* lastWrite);
LSTATUS RegCloseKey(HKEY key);

BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token);
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, void* information, DWORD size, DWORD* needed);
BOOL CreateWellKnownSid(WELL_KNOWN_SID_TYPE kind, PSID domain, PSID sid, DWORD* size);
BOOL InitializeAcl(ACL* acl, DWORD size, DWORD revision);
BOOL AddAccessAllowedAceEx(ACL* acl, DWORD revision, DWORD flags, DWORD access, PSID sid);
BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision);
BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, ACL* acl, BOOL defaulted);
BOOL SetSecurityDescriptorControl(PSECURITY_DESCRIPTOR descriptor, SECURITY_DESCRIPTOR_CONTROL mask,
                                  SECURITY_DESCRIPTOR_CONTROL bits);
BOOL GetKernelObjectSecurity(HANDLE object, SECURITY_INFORMATION wanted, PSECURITY_DESCRIPTOR descriptor, DWORD size,
                             DWORD* needed);
BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID* owner, BOOL* defaulted);
BOOL EqualSid(PSID first, PSID second);

// Fills the buffer with unpredictable bytes: from the processor's random
// number generator where it has a working one, otherwise from the system's
// (advapi32). False when neither gave any.
bool fillRandom(void* buffer, std::size_t size);

}  // namespace runvo::base_api
