// The service host: what runs when the Service Control Manager starts the
// executable.
#pragma once
#include <cstdint>
#include <string>

#include "service/service_log_rules.h"
#include "service/service_settings.h"
#include "util/command_line.h"
#include "util/win.h"

namespace runvo {

// What the launcher hands the host before it calls the dispatcher.
struct HostContext {
  // This process's own command line, split: the program first.
  ArgumentVector hostArguments;
  // The launcher's directory (with its trailing backslash) and the service
  // log's settings, for the log's path once the service name is known.
  std::string launcherDirectory;
  ServiceLogSettings serviceLog;
  // How long the child may take to end after the stop line, what the host
  // does after the application ended by itself, and what tells whether the
  // application serves.
  ServiceSettings settings;
  // Ends the process once the child has ended and its end was reported: the
  // dispatcher would otherwise wait for a final status that a child that
  // failed on its own never gets.
  [[noreturn]] void (*endProcess)(int exitCode) = nullptr;
};

void prepareServiceHost(HostContext context);

// The service main routine handed to the dispatcher.
void WINAPI serviceMain(DWORD argc, LPWSTR* argv);

}  // namespace runvo
