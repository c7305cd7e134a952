#include <gtest/gtest.h>

#include "launcher/command_tail.h"

namespace runvo {
namespace {

TEST(CommandTail, SkipsTheProgramNameAndTheBlanksAfterIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"C:\\Program Files\\svc.exe\" /install x", "/install x"},
      {"\"C:\\no closing quote /install", ""},
      {"svc.exe   /status ", "/status "},
      {"svc.exe\t\t-stop", "-stop"},
      {"svc.exe", ""},
      {"\"svc.exe\"/install", "/install"},
      {"", ""},
  };
  for (const auto& [line, tail] : cases) EXPECT_EQ(commandTail(line), tail) << line;
}

TEST(VerbParsing, PrefixesAndVerbs) {
  const std::pair<const char*, Verb> cases[] = {
      {"-install", Verb::Install},        {"--install", Verb::Install},
      {"/install", Verb::Install},        {"/-install", Verb::Install},
      {"//install", Verb::Unknown},       {"/INSTALL", Verb::Unknown},
      {"install", Verb::None},            {"/install-auto", Verb::InstallAuto},
      {"/install-demand", Verb::InstallDemand}, {"/uninstall", Verb::Uninstall},
      {"/stop", Verb::Stop},              {"/start", Verb::Start},
      {"/status", Verb::Status},          {"/statusx", Verb::Unknown},
      {"", Verb::None},                   {"/", Verb::Unknown},
      {"/help", Verb::Help},              {"-h", Verb::Help},
      {"/?", Verb::Help},                 {"--help", Verb::Help},
      {"/run", Verb::Run},                {"--run", Verb::Run},
      {"/install-delayed", Verb::InstallDelayed}, {"--restart", Verb::Restart},
      {"-restart MyService", Verb::Restart},
      {"-run MyService", Verb::Run},      {"/bogus", Verb::Unknown},
  };
  for (const auto& [tail, verb] : cases) EXPECT_EQ(parseVerb(tail).verb, verb) << tail;
}

TEST(VerbParsing, OptionsAndServiceNameOverride) {
  struct Case {
    const char* tail;
    bool interactive;
    std::optional<std::string> name;
  };
  const Case cases[] = {
      {"/install MyService", true, "MyService"},
      {"/install non-interactive", false, std::nullopt},
      {"/install non-interactive My Service", false, "My Service"},
      {"/install My Service non-interactive", true, "My Service non-interactive"},
      {"/install non-interactive non-interactive", false, std::nullopt},
      {"/status ", true, std::nullopt},
      {"/status  Two", true, " Two"},
      {"/stop MyService", true, "MyService"},
      // The option is matched on its 15 letters; what follows them directly
      // stands where the next space would be.
      {"/install non-interactiveXY", false, "Y"},
      {"/install non-interactiveX", false, std::nullopt},
      {"/bogus Name", true, "Name"},
      // cmd passes the quotes a person types around a name with spaces.
      {"/status \"My Service\"", true, "My Service"},
      {"/install non-interactive \"My Service\"", false, "My Service"},
      {"/status \"", true, "\""},
      {"/status \"\"", true, ""},
  };
  for (const Case& c : cases) {
    const VerbRequest r = parseVerb(c.tail);
    EXPECT_EQ(r.interactive, c.interactive) << c.tail;
    EXPECT_EQ(r.serviceName, c.name) << c.tail;
  }
}

TEST(VerbParsing, AnOverlongServiceNameIsCutToTheBuffer) {
  const std::string tail = "/status " + std::string(20000, 'x');
  const VerbRequest r = parseVerb(tail);
  ASSERT_TRUE(r.serviceName);
  EXPECT_EQ(r.serviceName->size(), kServiceNameCapacity - 1);
}

}  // namespace
}  // namespace runvo
