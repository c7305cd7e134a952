#include "pack/config/key_catalogue.h"

#include <algorithm>
#include <array>

#include "payload/config_keys.h"

namespace runvo::pack {

namespace {

using K = ValueKind;

// A text the launcher shows when it fails, read as lines; the default is
// its English text.
constexpr NamedKey message(std::string_view field, std::int32_t key, std::string_view defaultText) {
  return NamedKey{.table = "messages", .field = field, .key = key, .defaultText = defaultText, .takesLineBreaks = true};
}

const std::array kCatalogue = {
    NamedKey{.table = "service", .field = "name", .key = kKeyServiceName, .required = true},
    NamedKey{.table = "service", .field = "description", .key = kKeyServiceDescription, .kind = K::WideText},
    NamedKey{.table = "service", .field = "dependencies", .key = kKeyDependencies, .kind = K::List, .separator = ','},
    NamedKey{.table = "service", .field = "log_folder", .key = kKeyServiceLogFolder},
    NamedKey{.table = "service", .field = "log_roll_bytes", .key = kKeyServiceLogRollBytes, .kind = K::Integer,
             .atLeast = 1},
    NamedKey{.table = "service", .field = "log_kept_files", .key = kKeyServiceLogKeptFiles, .kind = K::Integer,
             .atLeast = 0},
    NamedKey{.table = "service", .field = "log_roll_daily", .key = kKeyServiceLogRollDaily, .kind = K::Flag},
    NamedKey{.table = "service", .field = "log_kept_days", .key = kKeyServiceLogKeptDays, .kind = K::Integer,
             .atLeast = 0},
    NamedKey{.table = "service", .field = "start_watch_seconds", .key = kKeyStartWatchSeconds, .kind = K::Integer},
    NamedKey{.table = "service", .field = "stop_timeout_seconds", .key = kKeyStopTimeoutSeconds, .kind = K::Integer},
    NamedKey{.table = "service", .field = "preshutdown_seconds", .key = kKeyPreshutdownSeconds, .kind = K::Integer},
    NamedKey{.table = "service", .field = "failure_actions", .key = kKeyFailureActions, .kind = K::List, .separator = ';'},
    NamedKey{.table = "service", .field = "failure_reset_seconds", .key = kKeyFailureResetSeconds, .kind = K::Integer},
    NamedKey{.table = "service", .field = "failure_on_error_exit", .key = kKeyFailureOnErrorExit, .kind = K::Flag},
    NamedKey{.table = "service", .field = "delayed_start", .key = kKeyDelayedStart, .kind = K::Flag},
    NamedKey{.table = "service", .field = "display_name", .key = kKeyDisplayName},
    NamedKey{.table = "service", .field = "account", .key = kKeyAccount},
    NamedKey{.table = "service", .field = "password_variable", .key = kKeyPasswordVariable},
    NamedKey{.table = "service", .field = "environment", .key = kKeyServiceEnvironment, .kind = K::List,
             .separator = '\n', .takesLineBreaks = true},
    NamedKey{.table = "service", .field = "interactive", .key = kKeyInteractive, .kind = K::Flag},
    NamedKey{.table = "service", .field = "restart", .key = kKeyRestart, .kind = K::Restart},
    NamedKey{.table = "service", .field = "restart_delay_seconds", .key = kKeyRestartDelaySeconds, .kind = K::Integer},
    NamedKey{.table = "service", .field = "restart_delay_max_seconds", .key = kKeyRestartDelayMaxSeconds,
             .kind = K::Integer},
    NamedKey{.table = "service", .field = "restart_reset_seconds", .key = kKeyRestartResetSeconds, .kind = K::Integer},
    NamedKey{.table = "service", .field = "restart_limit", .key = kKeyRestartLimit, .kind = K::Integer},
    NamedKey{.table = "service", .field = "ready", .key = kKeyReady, .kind = K::ReadyCheck},
    NamedKey{.table = "service", .field = "ready_timeout_seconds", .key = kKeyReadyTimeoutSeconds, .kind = K::Integer},
    NamedKey{.table = "service", .field = "alive", .key = kKeyAlive, .kind = K::AliveCheck},
    NamedKey{.table = "service", .field = "alive_interval_seconds", .key = kKeyAliveIntervalSeconds,
             .kind = K::Integer},
    NamedKey{.table = "service", .field = "alive_failures", .key = kKeyAliveFailures, .kind = K::Integer},
    NamedKey{.table = "service", .field = "priority", .key = kKeyPriority},
    NamedKey{.table = "service", .field = "cpu_affinity", .key = kKeyCpuAffinity, .kind = K::Processors},
    NamedKey{.table = "service", .field = "pre_start", .key = kKeyPreStartHook, .kind = K::Words},
    NamedKey{.table = "service", .field = "post_stop", .key = kKeyPostStopHook, .kind = K::Words},
    NamedKey{.table = "service", .field = "hook_timeout_seconds", .key = kKeyHookTimeoutSeconds, .kind = K::Integer},

    NamedKey{.table = "app", .field = "main_class", .key = kKeyMainClass, .required = true},
    NamedKey{.table = "app", .field = "classpath", .key = kKeyClassPath, .kind = K::ClassPath, .separator = ';'},
    NamedKey{.table = "app", .field = "arguments", .key = kKeyArguments, .kind = K::Words},
    NamedKey{.table = "app", .field = "directory", .key = kKeyApplicationDirectory},
    NamedKey{.table = "app", .field = "working_directory", .key = kKeyWorkingDirectory},
    NamedKey{.table = "app", .field = "type", .key = kKeyApplicationType, .kind = K::Integer},
    NamedKey{.table = "app", .field = "native_library_path", .key = kKeyNativeLibraryPath, .kind = K::List,
             .separator = ';'},
    NamedKey{.table = "app", .field = "process_comm_file", .key = kKeyProcessCommFile, .kind = K::Flag},
    NamedKey{.table = "app", .field = "j_options", .key = kKeyJOptionsToVm, .kind = K::Flag},

    NamedKey{.table = "output", .field = "redirect_stderr", .key = kKeyRedirectStderr, .kind = K::Flag},
    NamedKey{.table = "output", .field = "stderr_file", .key = kKeyStderrFile},
    NamedKey{.table = "output", .field = "redirect_stdout", .key = kKeyRedirectStdout, .kind = K::Flag},
    NamedKey{.table = "output", .field = "stdout_file", .key = kKeyStdoutFile},
    NamedKey{.table = "output", .field = "append", .key = kKeyAppendOutput, .kind = K::Flag},
    NamedKey{.table = "output", .field = "roll_bytes", .key = kKeyOutputRollBytes, .kind = K::Integer, .atLeast = 1},
    NamedKey{.table = "output", .field = "roll_daily", .key = kKeyOutputRollDaily, .kind = K::Flag},
    NamedKey{.table = "output", .field = "kept_files", .key = kKeyOutputKeptFiles, .kind = K::Integer, .atLeast = 0},
    NamedKey{.table = "output", .field = "kept_days", .key = kKeyOutputKeptDays, .kind = K::Integer, .atLeast = 0},

    NamedKey{.table = "jvm", .field = "options", .key = kKeyVmOptions, .kind = K::Words},
    NamedKey{.table = "jvm", .field = "min_version", .key = kKeyMinVersion, .kind = K::JavaVersion},
    NamedKey{.table = "jvm", .field = "max_version", .key = kKeyMaxVersion, .kind = K::JavaVersion},
    // Without a search the launcher looks only at its own fallbacks (previous
    // installations, RUNVO_JAVA_HOME), which most machines do not have.
    NamedKey{.table = "jvm", .field = "search", .key = kKeySearchSequence, .kind = K::JvmSearch, .separator = ';',
             .defaultText = "EJAVA_HOME;Y;S"},
    NamedKey{.table = "jvm", .field = "allow_prerelease", .key = kKeyAllowPrerelease, .kind = K::Flag},
    NamedKey{.table = "jvm", .field = "require_jdk", .key = kKeyRequireJdk, .kind = K::Flag},
    NamedKey{.table = "jvm", .field = "variant", .key = kKeyJvmVariant, .capacity = 200},
    NamedKey{.table = "jvm", .field = "installation_value", .key = kKeyInstallationValue},

    NamedKey{.table = "launcher", .field = "flavour", .key = kKeyFlavour, .kind = K::Flavour, .capacity = 2},

    NamedKey{.table = "messages", .field = "caption", .key = kKeyMessageCaption, .defaultText = "Error"},
    message("jvm_not_startable", kMsgJvmNotStartable,
            "The JVM could not be started. The maximum heap size (-Xmx) might be too "
            "large or an antivirus or firewall tool could block the execution."),
    message("missing_classpath_entry", kMsgMissingClassPathEntry, "File or directory {0} not found or empty\n"),
    message("wrong_parameter_usage", kMsgWrongParameterUsage, "Wrong Parameter Usage"),
    message("undefined_variable", kMsgUndefinedVariable, "The environment variable {0} has to be defined"),
    message("internal_error", kMsgInternalError, "An internal error occurred (error code: {0})"),
    message("main_class_missing", kMsgMainClassMissing, "Couldn't load main class."),
    message("main_method_missing", kMsgMainMethodMissing, "Main method not found."),
    message("no_temp_dir", kMsgNoTempDir, "You must be at least Poweruser to run this program."),
    message("no_jvm_found", kMsgNoJvmFound,
            "No JVM could be found on your system.\nPlease define RUNVO_JAVA_HOME\n"
            "to point to an installed {0}-bit JDK or JRE or download one."),
    message("jvm_env_unusable", kMsgJvmVariableUnusable,
            "The {0} envionment variable does not\npoint to a working 64-bit JDK or JRE."),
    message("jvm_damaged", kMsgJvmDamaged,
            "The JVM found at {0} is damaged.\nPlease reinstall or define RUNVO_JAVA_HOME\n"
            "to point to an installed 64-bit JDK or JRE."),

    NamedKey{.table = "files", .field = "count", .key = kKeyEmbeddedFileCount, .kind = K::FromFiles},
    NamedKey{.table = "files", .field = "names", .key = kKeyEmbeddedFileNames, .kind = K::FromFiles},
};

}  // namespace

std::string NamedKey::qualifiedName() const {
  std::string name(table);
  name += '.';
  name += field;
  return name;
}

std::span<const NamedKey> namedKeys() { return kCatalogue; }

const NamedKey* findNamedKey(std::string_view table, std::string_view field) {
  const auto it = std::ranges::find_if(kCatalogue, [&](const NamedKey& entry) {
    return entry.table == table && entry.field == field && entry.kind != ValueKind::FromFiles;
  });
  return it == kCatalogue.end() ? nullptr : &*it;
}

const NamedKey* findNamedKeyByNumber(std::int32_t key, bool wide) {
  const auto it = std::ranges::find_if(
      kCatalogue, [&](const NamedKey& entry) { return entry.key == key && entry.isWide() == wide; });
  return it == kCatalogue.end() ? nullptr : &*it;
}

bool isNamedTable(std::string_view table) {
  return std::ranges::any_of(kCatalogue, [&](const NamedKey& entry) {
    return entry.table == table && entry.kind != ValueKind::FromFiles;
  });
}

}  // namespace runvo::pack
