#include "launcher/command_tail.h"

#include <array>
#include <utility>

namespace runvo {

namespace {
constexpr std::string_view kNonInteractive = "non-interactive";

constexpr std::array<std::pair<std::string_view, Verb>, 13> kVerbs{{
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
}};

bool isBlank(char c) { return c >= 0x01 && c <= 0x20; }

// cmd keeps the quotes a person types around a name with spaces.
std::string_view withoutQuotes(std::string_view name) {
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') return name.substr(1, name.size() - 2);
  return name;
}
}  // namespace

std::string_view commandTail(std::string_view line) {
  std::size_t i = 0;
  if (!line.empty() && line[0] == '"') {
    const std::size_t close = line.find('"', 1);
    i = close == std::string_view::npos ? line.size() : close + 1;
  } else {
    while (i < line.size() && static_cast<unsigned char>(line[i]) > 0x20) ++i;
  }
  while (i < line.size() && isBlank(line[i])) ++i;
  return line.substr(i);
}

VerbRequest parseVerb(std::string_view tail) {
  VerbRequest request;
  if (tail.empty() || (tail[0] != '/' && tail[0] != '-')) return request;
  std::string_view text = tail.substr(1);
  if (!text.empty() && text[0] == '-') text.remove_prefix(1);

  const std::size_t firstSpace = text.find(' ');
  const std::string_view verbText = text.substr(0, firstSpace);
  // `space` is where an option may follow: a real space at first, then the
  // character right behind a "non-interactive", whatever it is.
  std::size_t space = firstSpace;
  while (space != std::string_view::npos && text.size() - space >= 2) {
    const std::string_view after = text.substr(space + 1);
    if (after.substr(0, kNonInteractive.size()) == kNonInteractive) {
      request.interactive = false;
      space += 1 + kNonInteractive.size();
      continue;
    }
    request.serviceName = cutServiceName(withoutQuotes(after));
    break;
  }

  request.verb = Verb::Unknown;
  for (const auto& [name, verb] : kVerbs) {
    if (verbText == name) request.verb = verb;
  }
  return request;
}

const char* verbName(Verb verb) {
  for (const auto& [name, candidate] : kVerbs) {
    if (candidate == verb) return name.data();
  }
  return "";
}

}  // namespace runvo
