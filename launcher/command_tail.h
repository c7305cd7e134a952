// The narrow command tail and the service verb written at its start.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "service/service_name.h"

namespace runvo {

// The command line without the program name, as a windowed program's entry
// receives it: a quoted program name ends at its closing quote, an unquoted
// one at the first character up to 0x20; the blanks after it are skipped too.
std::string_view commandTail(std::string_view commandLine);

enum class Verb {
  None,     // no verb: the service host, or a person who typed nothing
  Unknown,  // "/something" that is no verb
  Help,
  Install,
  InstallAuto,
  InstallDemand,
  InstallDelayed,
  Uninstall,
  Stop,
  Start,
  Status,
  Restart,  // stop (waiting), then start
  Run,  // the application in the console, as the service runs it
};

struct VerbRequest {
  Verb verb = Verb::None;
  bool interactive = true;
  // The name that replaces the configured one, cut to what the service name
  // buffer holds.
  std::optional<std::string> serviceName;
};

// "/verb", "-verb" or "--verb", then "non-interactive" and a service name in
// any mix; the first other text after a space is the name and takes the rest
// of the line, without the double quotes a person puts around a name with
// spaces. "/help", "-h" and "/?" ask for the usage; any other text after the
// prefix is an unknown verb.
VerbRequest parseVerb(std::string_view tail);

const char* verbName(Verb verb);

}  // namespace runvo
