// What every service verb needs: handles of the Service Control Manager and
// of a service, and the system's reason for a failure on standard error.
#pragma once
#include <optional>
#include <string>

#include "util/unique_handle.h"

namespace runvo {

UniqueServiceHandle openManager(DWORD access);
UniqueServiceHandle openService(const UniqueServiceHandle& manager, const std::string& name, DWORD access);

// Whether a registered program path names this executable: it may be quoted
// and may carry arguments after the program.
bool isThisExecutable(const char* registeredPath);

// The program path a service is registered with; none when it cannot be read.
std::optional<std::string> registeredProgram(SC_HANDLE service);

// The system's reason for the failure just reported on standard output.
void printReason(DWORD error);

}  // namespace runvo
