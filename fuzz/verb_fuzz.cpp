// A person's command line, as a windowed program's entry sees it: the tail
// behind the program name, then the verb, the option and the service name.
// Input: the narrow command line.
#include "fuzz/fuzz_support.h"
#include "launcher/command_tail.h"

namespace {

using runvo::Verb;

bool isBlank(char c) { return c >= 0x01 && c <= 0x20; }

// The verbs as the usage names them.
Verb documentedVerb(std::string_view word) {
  constexpr std::pair<std::string_view, Verb> kVerbs[] = {
      {"help", Verb::Help},
      {"h", Verb::Help},
      {"?", Verb::Help},
      {"run", Verb::Run},
      {"install", Verb::Install},
      {"install-auto", Verb::InstallAuto},
      {"install-demand", Verb::InstallDemand},
      {"install-delayed", Verb::InstallDelayed},
      {"uninstall", Verb::Uninstall},
      {"stop", Verb::Stop},
      {"start", Verb::Start},
      {"status", Verb::Status},
      {"restart", Verb::Restart},
  };
  for (const auto& [name, verb] : kVerbs) {
    if (word == name) return verb;
  }
  return Verb::Unknown;
}

// Behind "/" or "-" and one more optional "-", up to the first space.
std::string_view verbWord(std::string_view tail) {
  tail.remove_prefix(1);
  if (tail.starts_with('-')) tail.remove_prefix(1);
  return tail.substr(0, tail.find(' '));
}

void checkTail(std::string_view line, std::string_view tail) {
  FUZZ_EXPECT(line.ends_with(tail));
  FUZZ_EXPECT(tail.empty() || !isBlank(tail.front()));
}

void checkRequest(std::string_view tail, const runvo::VerbRequest& request) {
  const bool prefixed = !tail.empty() && (tail.front() == '/' || tail.front() == '-');
  if (!prefixed) {
    FUZZ_EXPECT(request.verb == Verb::None && request.interactive && !request.serviceName);
    return;
  }
  FUZZ_EXPECT(request.verb == documentedVerb(verbWord(tail)));
  if (request.serviceName) {
    FUZZ_EXPECT(request.serviceName->size() <= runvo::kServiceNameCapacity - 1);
    FUZZ_EXPECT(tail.find(*request.serviceName) != std::string_view::npos);
  }
  if (!request.interactive) FUZZ_EXPECT(tail.find("non-interactive") != std::string_view::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line = runvo::fuzz::asText(data, size);
  const std::string_view tail = runvo::commandTail(line);
  checkTail(line, tail);
  checkRequest(tail, runvo::parseVerb(tail));
  return 0;
}
