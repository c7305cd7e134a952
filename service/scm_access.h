// What every service verb needs: handles of the Service Control Manager and
// of a service, and the system's reason for a failure on standard error.
#pragma once
#include <string>

#include "util/unique_handle.h"

namespace runvo {

UniqueServiceHandle openManager(DWORD access);
UniqueServiceHandle openService(const UniqueServiceHandle& manager, const std::string& name, DWORD access);

// The system's reason for the failure just reported on standard output.
void printReason(DWORD error);

}  // namespace runvo
