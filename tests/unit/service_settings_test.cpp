// The service's settings read from the payload: defaults, the failure
// actions' sc.exe form, accounts, the environment, and what is refused.
#include <gtest/gtest.h>

#include "payload/config_keys.h"
#include "service/service_settings.h"

namespace runvo {
namespace {

ConfigTable tableOf(std::vector<std::pair<std::int32_t, std::string>> entries) {
  ConfigTable table;
  for (auto& [key, text] : entries) table.setNarrow(key, text);
  return table;
}

TEST(ServiceSettings, DefaultsKeepTodaysBehaviour) {
  std::string error;
  const auto settings = readServiceSettings(ConfigTable{}, error);
  ASSERT_TRUE(settings) << error;
  EXPECT_EQ(settings->stopTimeoutMs, 30000u);
  EXPECT_FALSE(settings->preshutdownMs);
  EXPECT_TRUE(settings->failureActions.empty());
  EXPECT_FALSE(settings->failureOnErrorExit);
  EXPECT_FALSE(settings->delayedStart);
  EXPECT_EQ(settings->account.kind, AccountKind::LocalSystem);
  EXPECT_TRUE(settings->environment.empty());
  EXPECT_FALSE(settings->interactive) << "the command line decides";
}

TEST(ServiceSettings, EverySettingFromItsKey) {
  std::string error;
  const auto settings = readServiceSettings(
      tableOf({{kKeyStopTimeoutSeconds, "5"},
               {kKeyPreshutdownSeconds, "120"},
               {kKeyFailureActions, "restart/60000;RESTART/1000;reboot/0;none"},
               {kKeyFailureResetSeconds, "3600"},
               {kKeyFailureOnErrorExit, "1"},
               {kKeyDelayedStart, "1"},
               {kKeyDisplayName, "My Service"},
               {kKeyAccount, "svcuser"},
               {kKeyPasswordVariable, "SVC_PW"},
               {kKeyServiceEnvironment, "A=1\nB=two words\n"},
               {kKeyInteractive, "0"}}),
      error);
  ASSERT_TRUE(settings) << error;
  EXPECT_EQ(settings->stopTimeoutMs, 5000u);
  EXPECT_EQ(settings->preshutdownMs, 120000u);
  EXPECT_EQ(settings->failureActions,
            (std::vector<FailureAction>{{FailureActionType::Restart, 60000},
                                        {FailureActionType::Restart, 1000},
                                        {FailureActionType::Reboot, 0},
                                        {FailureActionType::None, 0}}));
  EXPECT_EQ(settings->failureResetSeconds, 3600u);
  EXPECT_TRUE(settings->failureOnErrorExit);
  EXPECT_TRUE(settings->delayedStart);
  EXPECT_EQ(settings->displayName, "My Service");
  EXPECT_EQ(settings->account.kind, AccountKind::User);
  EXPECT_EQ(settings->account.user, ".\\svcuser") << "a name without a domain is a local account";
  EXPECT_EQ(settings->passwordVariable, "SVC_PW");
  EXPECT_EQ(settings->environment, (std::vector<std::string>{"A=1", "B=two words"}));
  EXPECT_EQ(settings->interactive, false);
}

TEST(ServiceSettings, UnusableValuesAreRefusedWithWhatIsAccepted) {
  struct Case {
    std::int32_t key;
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {kKeyFailureActions, "restart/soon", "the failure action \"restart/soon\" is not one of restart/MILLISECONDS"},
      {kKeyFailureActions, "explode/0", "the failure action \"explode/0\""},
      {kKeyStopTimeoutSeconds, "-1", "the stop timeout must be a number of seconds from 0 on"},
      {kKeyServiceEnvironment, "NOEQUALS", "the environment entry \"NOEQUALS\" is not NAME=value"},
      {kKeyServiceEnvironment, "=x", "the environment entry \"=x\" is not NAME=value"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(readServiceSettings(tableOf({{c.key, c.text}}), error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
}

TEST(ServiceSettings, AccountNames) {
  struct Case {
    const char* configured;
    const char* registered;
  };
  const Case cases[] = {
      {"", ""},
      {"LocalSystem", ""},
      {"localservice", "NT AUTHORITY\\LocalService"},
      {"NetworkService", "NT AUTHORITY\\NetworkService"},
      {"virtual", "NT SERVICE\\My Svc"},
      {"CORP\\svc", "CORP\\svc"},
      {"svc@corp.example", "svc@corp.example"},
  };
  for (const Case& c : cases) EXPECT_EQ(accountName(parseAccount(c.configured), "My Svc"), c.registered) << c.configured;
}

}  // namespace
}  // namespace runvo
