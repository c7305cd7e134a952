// What every service verb needs: handles of the Service Control Manager and
// of a service, and the system's reason for a failure on standard error.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "util/unique_handle.h"

namespace runvo {

UniqueServiceHandle openManager(DWORD access);
UniqueServiceHandle openService(const UniqueServiceHandle& manager, const std::string& name, DWORD access);

// Whether a registered program path names this executable: it may be quoted
// and may carry arguments after the program.
bool isThisExecutable(const char* registeredPath);

// What a service is registered with: its program's command line (in the
// file functions' code page, as modulePath() is) and its account; none when
// the registration cannot be read.
struct Registered {
  std::string program;
  std::wstring account;
};
std::optional<Registered> registeredConfig(SC_HANDLE service);

// The system's reason for the failure just reported on standard output.
void printReason(DWORD error);

// A failure's line on standard output, then the system's reason for it. The
// line is a view so that passing it sets no error before GetLastError runs.
void printFailure(std::string_view line, DWORD error);

}  // namespace runvo
