#include "service/service_settings.h"

#include <charconv>

#include "payload/config_keys.h"
#include "util/command_line.h"
#include "util/text.h"

namespace runvo {

namespace {
constexpr std::uint32_t kMillisecondsPerSecond = 1000;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::optional<FailureAction> parseAction(std::string_view text) {
  const std::size_t slash = text.find('/');
  const std::string_view type = text.substr(0, slash);
  FailureAction action;
  if (equalsIgnoringCase(type, "none")) {
    action.type = FailureActionType::None;
  } else if (equalsIgnoringCase(type, "restart")) {
    action.type = FailureActionType::Restart;
  } else if (equalsIgnoringCase(type, "reboot")) {
    action.type = FailureActionType::Reboot;
  } else {
    return std::nullopt;
  }
  if (slash == std::string_view::npos) return action;
  const std::string_view delay = text.substr(slash + 1);
  const auto [end, problem] = std::from_chars(delay.data(), delay.data() + delay.size(), action.delayMs);
  if (delay.empty() || problem != std::errc() || end != delay.data() + delay.size()) return std::nullopt;
  return action;
}

// A number of seconds as milliseconds; none for a key that is not set.
std::optional<std::uint32_t> secondsKey(const ConfigTable& table, std::int32_t key, std::string_view name,
                                        std::string& error) {
  if (!table.narrow().contains(key)) return std::nullopt;
  const int seconds = table.getInt(key);
  if (seconds < 0 || static_cast<std::uint32_t>(seconds) > UINT32_MAX / kMillisecondsPerSecond) {
    error = std::string(name) + " must be a number of seconds from 0 on";
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(seconds) * kMillisecondsPerSecond;
}
// A whole number of at least `minimum`; none for a key that is not set.
std::optional<std::uint32_t> countKey(const ConfigTable& table, std::int32_t key, std::string_view name,
                                      std::uint32_t minimum, std::string& error) {
  if (!table.narrow().contains(key)) return std::nullopt;
  const int count = table.getInt(key);
  if (count < static_cast<int>(minimum)) {
    error = std::string(name) + " must be a whole number from " + std::to_string(minimum) + " on";
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(count);
}

// `into` from a key that is present; false when its value cannot be used.
bool readSeconds(const ConfigTable& table, std::int32_t key, std::string_view name, std::uint32_t& into,
                 std::string& error) {
  if (auto ms = secondsKey(table, key, name, error)) into = *ms;
  return error.empty();
}

bool readCount(const ConfigTable& table, std::int32_t key, std::string_view name, std::uint32_t minimum,
               std::uint32_t& into, std::string& error) {
  if (auto count = countKey(table, key, name, minimum, error)) into = *count;
  return error.empty();
}

bool readRestart(const ConfigTable& table, RestartSettings& restart, std::string& error) {
  if (table.narrow().contains(kKeyRestart)) {
    const auto policy = parseRestartPolicy(table.getString(kKeyRestart));
    if (!policy) {
      error = "restart \"" + table.getString(kKeyRestart) + "\" is not \"never\", \"on-failure\" or \"always\"";
      return false;
    }
    restart.policy = *policy;
  }
  return readSeconds(table, kKeyRestartDelaySeconds, "the restart delay", restart.firstDelayMs, error) &&
         readSeconds(table, kKeyRestartDelayMaxSeconds, "the longest restart delay", restart.maxDelayMs, error) &&
         readSeconds(table, kKeyRestartResetSeconds, "the restart reset period", restart.resetMs, error) &&
         readCount(table, kKeyRestartLimit, "the restart limit", 0, restart.limit, error);
}

std::optional<HealthCheck> checkKey(const ConfigTable& table, std::int32_t key, std::string_view name, bool allowLog,
                                    std::string& error) {
  if (!table.narrow().contains(key) || table.getString(key).empty()) return std::nullopt;
  std::string problem;
  auto check = parseHealthCheck(table.getString(key), allowLog, problem);
  if (!check) error = std::string(name) + ": " + problem;
  return check;
}

bool readHealth(const ConfigTable& table, ServiceSettings& settings, std::string& error) {
  settings.ready = checkKey(table, kKeyReady, "ready", true, error);
  if (!error.empty()) return false;
  settings.alive = checkKey(table, kKeyAlive, "alive", false, error);
  return error.empty() &&
         readSeconds(table, kKeyReadyTimeoutSeconds, "the readiness timeout", settings.readyTimeoutMs, error) &&
         readSeconds(table, kKeyAliveIntervalSeconds, "the liveness interval", settings.aliveIntervalMs, error) &&
         readCount(table, kKeyAliveFailures, "the number of liveness failures", 1, settings.aliveFailures, error);
}
bool readProcessSettings(const ConfigTable& table, ServiceSettings& settings, std::string& error) {
  if (table.narrow().contains(kKeyPriority)) {
    const std::string text = table.getString(kKeyPriority);
    constexpr std::pair<std::string_view, std::uint32_t> kClasses[] = {
        {"idle", 0x40}, {"below_normal", 0x4000}, {"normal", 0x20}, {"above_normal", 0x8000}, {"high", 0x80}};
    for (const auto& [name, value] : kClasses) {
      if (equalsIgnoringCase(text, name)) settings.priorityClass = value;
    }
    if (!settings.priorityClass) {
      error = "priority \"" + text + "\" is not \"idle\", \"below_normal\", \"normal\", \"above_normal\" or \"high\"";
      return false;
    }
  }
  for (const std::string& piece : splitNonEmpty(table.getString(kKeyCpuAffinity), ',')) {
    unsigned processor = 0;
    const auto [end, problem] = std::from_chars(piece.data(), piece.data() + piece.size(), processor);
    if (problem != std::errc() || end != piece.data() + piece.size() || processor > 63) {
      error = "the processor \"" + piece + "\" of cpu_affinity is not a number from 0 to 63";
      return false;
    }
    settings.affinityMask |= std::uint64_t{1} << processor;
  }
  return true;
}

bool readHook(const ConfigTable& table, std::int32_t key, const char* field, std::vector<std::string>& hook,
              std::string& error) {
  const std::string text = table.getString(key);
  if (!trySplitWords(text, hook)) {
    error = std::string(field) + " \"" + text + "\" has a quote without its closing partner";
    return false;
  }
  if (!hook.empty() && hook.front().empty()) {
    error = std::string(field) + " names no program";
    return false;
  }
  return true;
}

bool readHooks(const ConfigTable& table, ServiceSettings& settings, std::string& error) {
  return readHook(table, kKeyPreStartHook, "pre_start", settings.preStartHook, error) &&
         readHook(table, kKeyPostStopHook, "post_stop", settings.postStopHook, error) &&
         readSeconds(table, kKeyHookTimeoutSeconds, "the hook timeout", settings.hookTimeoutMs, error);
}

}  // namespace

std::optional<RestartPolicy> parseRestartPolicy(std::string_view text) {
  if (equalsIgnoringCase(text, "never")) return RestartPolicy::Never;
  if (equalsIgnoringCase(text, "on-failure")) return RestartPolicy::OnFailure;
  if (equalsIgnoringCase(text, "always")) return RestartPolicy::Always;
  return std::nullopt;
}

std::optional<std::vector<FailureAction>> parseFailureActions(std::string_view text, std::string& error) {
  std::vector<FailureAction> actions;
  for (const std::string& piece : splitNonEmpty(text, ';')) {
    auto action = parseAction(piece);
    if (!action) {
      error = "the failure action \"" + piece +
              "\" is not one of restart/MILLISECONDS, reboot/MILLISECONDS or none/0";
      return std::nullopt;
    }
    actions.push_back(*action);
  }
  return actions;
}

ServiceAccount parseAccount(std::string_view text) {
  if (text.empty() || equalsIgnoringCase(text, "LocalSystem")) return {AccountKind::LocalSystem, {}};
  if (equalsIgnoringCase(text, "LocalService")) return {AccountKind::LocalService, {}};
  if (equalsIgnoringCase(text, "NetworkService")) return {AccountKind::NetworkService, {}};
  if (equalsIgnoringCase(text, "virtual")) return {AccountKind::Virtual, {}};
  std::string user(text);
  if (user.back() == '$' && user.find('\\') != std::string::npos) return {AccountKind::GroupManaged, user};
  // A name without a domain is a local account.
  if (user.find('\\') == std::string::npos && user.find('@') == std::string::npos) user = ".\\" + user;
  return {AccountKind::User, user};
}

std::string accountName(const ServiceAccount& account, std::string_view serviceName) {
  switch (account.kind) {
    case AccountKind::LocalSystem: return {};
    case AccountKind::LocalService: return "NT AUTHORITY\\LocalService";
    case AccountKind::NetworkService: return "NT AUTHORITY\\NetworkService";
    case AccountKind::Virtual: return "NT SERVICE\\" + std::string(serviceName);
    case AccountKind::User:
    case AccountKind::GroupManaged: return account.user;
  }
  return {};
}

std::optional<ServiceSettings> readServiceSettings(const ConfigTable& table, std::string& error) {
  ServiceSettings settings;
  if (!readSeconds(table, kKeyStopTimeoutSeconds, "the stop timeout", settings.stopTimeoutMs, error)) {
    return std::nullopt;
  }
  settings.preshutdownMs = secondsKey(table, kKeyPreshutdownSeconds, "the pre-shutdown timeout", error);
  if (!error.empty()) return std::nullopt;
  auto actions = parseFailureActions(table.getString(kKeyFailureActions), error);
  if (!actions) return std::nullopt;
  settings.failureActions = std::move(*actions);
  if (auto ms = secondsKey(table, kKeyFailureResetSeconds, "the failure reset period", error)) {
    settings.failureResetSeconds = *ms / kMillisecondsPerSecond;
  }
  if (!error.empty()) return std::nullopt;
  settings.failureOnErrorExit = table.getInt(kKeyFailureOnErrorExit) != 0;
  settings.delayedStart = table.getInt(kKeyDelayedStart) != 0;
  settings.displayName = table.getString(kKeyDisplayName);
  settings.account = parseAccount(table.getString(kKeyAccount));
  settings.passwordVariable = table.getString(kKeyPasswordVariable);
  for (std::string& line : splitNonEmpty(table.getString(kKeyServiceEnvironment), '\n')) {
    if (line.find('=') == std::string::npos || line.front() == '=') {
      error = "the environment entry \"" + line + "\" is not NAME=value";
      return std::nullopt;
    }
    settings.environment.push_back(std::move(line));
  }
  if (table.narrow().contains(kKeyInteractive)) settings.interactive = table.getInt(kKeyInteractive) != 0;
  if (!readRestart(table, settings.restart, error) || !readHealth(table, settings, error) ||
      !readProcessSettings(table, settings, error) || !readHooks(table, settings, error)) {
    return std::nullopt;
  }
  if (settings.aliveIntervalMs == 0) {
    error = "the liveness interval must be at least 1 second";
    return std::nullopt;
  }
  if (settings.hookTimeoutMs == 0) {
    error = "the hook timeout must be at least 1 second";
    return std::nullopt;
  }
  return settings;
}

}  // namespace runvo
