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
  EXPECT_EQ(settings->restart.policy, RestartPolicy::Never) << "no restart in the host unless asked";
  EXPECT_EQ(settings->restart.firstDelayMs, 2000u);
  EXPECT_EQ(settings->restart.maxDelayMs, 60000u);
  EXPECT_EQ(settings->restart.resetMs, 300000u);
  EXPECT_EQ(settings->restart.limit, 10u);
  EXPECT_FALSE(settings->ready) << "running means main was called";
  EXPECT_EQ(settings->readyTimeoutMs, 120000u);
  EXPECT_FALSE(settings->alive);
  EXPECT_EQ(settings->aliveIntervalMs, 30000u);
  EXPECT_EQ(settings->aliveFailures, 3u);
  EXPECT_TRUE(settings->preStartHook.empty());
  EXPECT_TRUE(settings->postStopHook.empty());
  EXPECT_EQ(settings->hookTimeoutMs, 60000u);
}

TEST(ServiceSettings, RestartReadinessAndLivenessFromTheirKeys) {
  std::string error;
  const auto settings = readServiceSettings(tableOf({{kKeyRestart, "On-Failure"},
                                                     {kKeyRestartDelaySeconds, "1"},
                                                     {kKeyRestartDelayMaxSeconds, "8"},
                                                     {kKeyRestartResetSeconds, "60"},
                                                     {kKeyRestartLimit, "0"},
                                                     {kKeyReady, "http:http://127.0.0.1:8080/"},
                                                     {kKeyReadyTimeoutSeconds, "30"},
                                                     {kKeyAlive, "tcp:8080"},
                                                     {kKeyAliveIntervalSeconds, "5"},
                                                     {kKeyAliveFailures, "2"}}),
                                            error);
  ASSERT_TRUE(settings) << error;
  EXPECT_EQ(settings->restart.policy, RestartPolicy::OnFailure);
  EXPECT_EQ(settings->restart.firstDelayMs, 1000u);
  EXPECT_EQ(settings->restart.maxDelayMs, 8000u);
  EXPECT_EQ(settings->restart.resetMs, 60000u);
  EXPECT_EQ(settings->restart.limit, 0u);
  ASSERT_TRUE(settings->ready);
  EXPECT_EQ(settings->ready->kind, HealthCheck::Kind::Http);
  EXPECT_EQ(settings->readyTimeoutMs, 30000u);
  ASSERT_TRUE(settings->alive);
  EXPECT_EQ(settings->alive->port, 8080);
  EXPECT_EQ(settings->aliveIntervalMs, 5000u);
  EXPECT_EQ(settings->aliveFailures, 2u);
}

TEST(ServiceSettings, PriorityAndProcessors) {
  std::string error;
  auto settings = readServiceSettings(tableOf({{kKeyPriority, "Above_Normal"}, {kKeyCpuAffinity, "0,2,,63"}}), error);
  ASSERT_TRUE(settings) << error;
  EXPECT_EQ(settings->priorityClass, 0x8000u);
  EXPECT_EQ(settings->affinityMask, 0x8000000000000005ull);
  settings = readServiceSettings(ConfigTable{}, error);
  EXPECT_FALSE(settings->priorityClass) << "the registry's value, else normal";
  EXPECT_EQ(settings->affinityMask, 0u) << "every processor";
}

TEST(ServiceSettings, HooksAreAProgramAndItsArguments) {
  std::string error;
  const auto settings = readServiceSettings(tableOf({{kKeyPreStartHook, "cmd.exe /c \"prepare data.cmd\" ''"},
                                                     {kKeyPostStopHook, "C:\\tools\\clean.exe"},
                                                     {kKeyHookTimeoutSeconds, "5"}}),
                                            error);
  ASSERT_TRUE(settings) << error;
  EXPECT_EQ(settings->preStartHook, (std::vector<std::string>{"cmd.exe", "/c", "prepare data.cmd", ""}));
  EXPECT_EQ(settings->postStopHook, (std::vector<std::string>{"C:\\tools\\clean.exe"}));
  EXPECT_EQ(settings->hookTimeoutMs, 5000u);
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
      {kKeyRestart, "sometimes", "restart \"sometimes\" is not \"never\", \"on-failure\" or \"always\""},
      {kKeyRestartDelaySeconds, "-2", "the restart delay must be a number of seconds from 0 on"},
      {kKeyRestartLimit, "-1", "the restart limit must be a whole number from 0 on"},
      {kKeyReady, "8080", "ready: \"8080\" is not one of \"tcp:PORT\""},
      {kKeyReady, "http:http://192.168.1.5/", "ready: the URL's host \"192.168.1.5\" is not 127.0.0.1"},
      {kKeyAlive, "log:ok", "alive: \"log:ok\" is not one of \"tcp:PORT\" or"},
      {kKeyAliveFailures, "0", "the number of liveness failures must be a whole number from 1 on"},
      {kKeyAliveIntervalSeconds, "0", "the liveness interval must be at least 1 second"},
      {kKeyPriority, "realtime", "priority \"realtime\" is not \"idle\", \"below_normal\""},
      {kKeyCpuAffinity, "0,64", "the processor \"64\" of cpu_affinity is not a number from 0 to 63"},
      {kKeyCpuAffinity, "one", "the processor \"one\" of cpu_affinity"},
      {kKeyPreStartHook, "check.cmd \"open", "pre_start \"check.cmd \"open\" has a quote without its closing partner"},
      {kKeyPostStopHook, "'' arg", "post_stop names no program"},
      {kKeyHookTimeoutSeconds, "0", "the hook timeout must be at least 1 second"},
      {kKeyHookTimeoutSeconds, "-5", "the hook timeout must be a number of seconds from 0 on"},
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
      {"CORP\\web$", "CORP\\web$"},
  };
  for (const Case& c : cases) EXPECT_EQ(accountName(parseAccount(c.configured), "My Svc"), c.registered) << c.configured;
  EXPECT_EQ(parseAccount("CORP\\web$").kind, AccountKind::GroupManaged) << "no password of its own";
  EXPECT_EQ(parseAccount("web$").kind, AccountKind::User) << "a local name stays a user";
}

}  // namespace
}  // namespace runvo
