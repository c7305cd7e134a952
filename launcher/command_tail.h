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

enum class Verb { None, Install, InstallAuto, InstallDemand, Uninstall, Stop, Start, Status };

struct VerbRequest {
  Verb verb = Verb::None;
  bool interactive = true;
  // The name that replaces the configured one, cut to what the service name
  // buffer holds.
  std::optional<std::string> serviceName;
};

// "/verb", "-verb" or "--verb", then "non-interactive" and a service name in
// any mix; the first other text after a space is the name and takes the rest
// of the line. An unknown verb is no verb (Verb::None), but its options were
// still read, as the service name override applies to every mode.
VerbRequest parseVerb(std::string_view tail);

const char* verbName(Verb verb);

}  // namespace runvo
