// The service's own settings in the payload: how the host stops the child,
// and what /install registers (recovery, start, account, environment). Read
// once from the table; parsing and checking them needs no Windows.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "payload/config_table.h"
#include "service/health_rules.h"
#include "service/restart_rules.h"

namespace runvo {

enum class FailureActionType { None = 0, Restart = 1, Reboot = 2 };

struct FailureAction {
  FailureActionType type = FailureActionType::None;
  std::uint32_t delayMs = 0;

  bool operator==(const FailureAction&) const = default;
};

// A group managed service account ("DOMAIN\name$") logs on with a password
// that the domain keeps: none is asked for, checked or registered.
enum class AccountKind { LocalSystem, LocalService, NetworkService, Virtual, User, GroupManaged };

struct ServiceAccount {
  AccountKind kind = AccountKind::LocalSystem;
  std::string user;  // for User: "DOMAIN\name" or ".\name"; for GroupManaged: "DOMAIN\name$"
};

struct ServiceSettings {
  std::uint32_t stopTimeoutMs = 30000;
  std::optional<std::uint32_t> preshutdownMs;  // none: the system's default
  std::vector<FailureAction> failureActions;    // first, second, later failures
  std::uint32_t failureResetSeconds = 86400;
  bool failureOnErrorExit = false;  // a non-zero exit without a crash counts as a failure
  bool delayedStart = false;
  std::string displayName;  // empty: the service name
  ServiceAccount account;
  std::string passwordVariable;  // where /install finds a user's password; empty: standard input
  std::vector<std::string> environment;  // "NAME=value"
  std::optional<bool> interactive;       // none: what the command line says (interactive unless told)
  // What the host does after the application ended by itself.
  RestartSettings restart;
  // What "running" waits for besides main being called; none: main alone.
  std::optional<HealthCheck> ready;
  std::uint32_t readyTimeoutMs = 120000;
  // The watchdog of a running application; none: no watchdog.
  std::optional<HealthCheck> alive;
  std::uint32_t aliveIntervalMs = 30000;
  std::uint32_t aliveFailures = 3;
  // The child's priority class (Windows' value); none: the registry's, else normal.
  std::optional<std::uint32_t> priorityClass;
  // The processors the child may run on, one bit each; 0: all.
  std::uint64_t affinityMask = 0;
  // Programs run before each start of the application and after each of its
  // ends (the program, then its arguments; UTF-8); empty: none.
  std::vector<std::string> preStartHook;
  std::vector<std::string> postStopHook;
  std::uint32_t hookTimeoutMs = 60000;
};

// "never", "on-failure" or "always" (any case); none for another text.
std::optional<RestartPolicy> parseRestartPolicy(std::string_view text);

// Fails with what is wrong and what the accepted forms are.
struct SettingsError {
  std::string message;
};

// "restart/60000;restart/60000;none/0": type and delay in milliseconds, as
// sc.exe writes them; an empty text is no action.
std::optional<std::vector<FailureAction>> parseFailureActions(std::string_view text, std::string& error);

// "LocalSystem" (or empty), "LocalService", "NetworkService", "virtual"
// (the account NT SERVICE\<service name>), or a user "DOMAIN\name" / ".\name".
ServiceAccount parseAccount(std::string_view text);

// The name CreateService takes for the account; empty for LocalSystem.
std::string accountName(const ServiceAccount& account, std::string_view serviceName);

// Every setting of the table; a value that cannot be used is an error.
std::optional<ServiceSettings> readServiceSettings(const ConfigTable& table, std::string& error);

}  // namespace runvo
