// The name of the service this process installs, controls or hosts: the
// configured name, or the one given on the command line.
#pragma once
#include <string>
#include <string_view>

namespace runvo {

const std::string& serviceName();
// Keeps at most what the launcher's service name buffer holds.
void setServiceName(std::string_view name);

}  // namespace runvo
