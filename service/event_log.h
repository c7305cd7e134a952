// The Windows Application event log, where administrators look first: the
// service is a source of its own, registered at install and removed at
// uninstall, and a failed start writes one error entry.
#pragma once
#include <string>

namespace runvo {

// Registers the service name as an event source; false when the registry
// key cannot be written.
bool registerEventSource(const std::string& serviceName);
void removeEventSource(const std::string& serviceName);

// One error entry; a log that cannot be written is left alone.
void writeEventLogError(const std::string& serviceName, const std::string& text);

// The key that registers a source.
std::string eventSourceKey(const std::string& serviceName);

}  // namespace runvo
