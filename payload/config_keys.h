// Keys of the configuration table that the launcher reads.
#pragma once
#include <cstdint>

namespace runvo {

inline constexpr std::int32_t kKeyServiceName = 101;
inline constexpr std::int32_t kKeyRedirectStderr = 102;
inline constexpr std::int32_t kKeyStderrFile = 103;
inline constexpr std::int32_t kKeyRedirectStdout = 104;
inline constexpr std::int32_t kKeyStdoutFile = 105;
inline constexpr std::int32_t kKeyAppendOutput = 106;
inline constexpr std::int32_t kKeyApplicationType = 107;
inline constexpr std::int32_t kKeyClassPath = 121;
inline constexpr std::int32_t kKeyMainClass = 122;
inline constexpr std::int32_t kKeyVmOptions = 123;
inline constexpr std::int32_t kKeyArguments = 124;
inline constexpr std::int32_t kKeyJOptionsToVm = 125;
inline constexpr std::int32_t kKeyMinVersion = 126;
inline constexpr std::int32_t kKeyMaxVersion = 127;
inline constexpr std::int32_t kKeySearchSequence = 128;
inline constexpr std::int32_t kKeyAllowPrerelease = 130;
inline constexpr std::int32_t kKeyRequireJdk = 131;
inline constexpr std::int32_t kKeyWorkingDirectory = 146;
inline constexpr std::int32_t kKeyDependencies = 149;
inline constexpr std::int32_t kKeyJvmVariant = 152;
inline constexpr std::int32_t kKeyInstallationValue = 160;
inline constexpr std::int32_t kKeyMessageCaption = 1000;
inline constexpr std::int32_t kKeyFlavour = 2001;
inline constexpr std::int32_t kKeyEmbeddedFileCount = 2002;
inline constexpr std::int32_t kKeyEmbeddedFileNames = 2003;
inline constexpr std::int32_t kKeyApplicationDirectory = 10003;
inline constexpr std::int32_t kKeyNativeLibraryPath = 10004;
inline constexpr std::int32_t kKeyProcessCommFile = 10005;
inline constexpr std::int32_t kKeyServiceDescription = 20017;

// Keys of runvo's own, from 30001 on, outside the numbers above.
// The service log: its folder (relative to the executable's), the size at
// which it rolls over, and how many rolled files are kept.
inline constexpr std::int32_t kKeyServiceLogFolder = 30001;
inline constexpr std::int32_t kKeyServiceLogRollBytes = 30002;
inline constexpr std::int32_t kKeyServiceLogKeptFiles = 30003;
// How long /start keeps watching a service that reached RUNNING, in seconds.
inline constexpr std::int32_t kKeyStartWatchSeconds = 30004;
// Service operations, applied by the host and at install.
inline constexpr std::int32_t kKeyStopTimeoutSeconds = 30005;
inline constexpr std::int32_t kKeyPreshutdownSeconds = 30006;
inline constexpr std::int32_t kKeyFailureActions = 30007;       // "restart/60000;none/0"
inline constexpr std::int32_t kKeyFailureResetSeconds = 30008;
inline constexpr std::int32_t kKeyFailureOnErrorExit = 30009;
inline constexpr std::int32_t kKeyDelayedStart = 30010;
inline constexpr std::int32_t kKeyDisplayName = 30011;
inline constexpr std::int32_t kKeyAccount = 30012;
inline constexpr std::int32_t kKeyPasswordVariable = 30013;
inline constexpr std::int32_t kKeyServiceEnvironment = 30014;  // "NAME=value" lines
inline constexpr std::int32_t kKeyInteractive = 30015;
// Restarts in the host: "never", "on-failure" or "always", the first delay,
// the longest delay and the healthy run after which both start over (seconds),
// and how many restarts without a healthy run before the host gives up.
inline constexpr std::int32_t kKeyRestart = 30016;
inline constexpr std::int32_t kKeyRestartDelaySeconds = 30017;
inline constexpr std::int32_t kKeyRestartDelayMaxSeconds = 30018;
inline constexpr std::int32_t kKeyRestartResetSeconds = 30019;
inline constexpr std::int32_t kKeyRestartLimit = 30020;
// Readiness: "tcp:PORT", "http:URL" or "log:TEXT", and how long a start may take to get there.
inline constexpr std::int32_t kKeyReady = 30021;
inline constexpr std::int32_t kKeyReadyTimeoutSeconds = 30022;
// Liveness: "tcp:PORT" or "http:URL", checked every so many seconds; so many
// failures in a row mean the application hangs.
inline constexpr std::int32_t kKeyAlive = 30023;
inline constexpr std::int32_t kKeyAliveIntervalSeconds = 30024;
inline constexpr std::int32_t kKeyAliveFailures = 30025;
// The application's process: its priority ("idle", "below_normal", "normal",
// "above_normal" or "high") and the processors it may run on ("0,1").
inline constexpr std::int32_t kKeyPriority = 30026;
inline constexpr std::int32_t kKeyCpuAffinity = 30027;
// The service log also rolls at midnight ("1"), and rolled files older than
// so many days go (besides those beyond the count).
inline constexpr std::int32_t kKeyServiceLogRollDaily = 30028;
inline constexpr std::int32_t kKeyServiceLogKeptDays = 30029;
// Programs run around each run of the application (words for the launcher's
// splitter: the program, then its arguments), and how long each may take.
inline constexpr std::int32_t kKeyPreStartHook = 30030;
inline constexpr std::int32_t kKeyPostStopHook = 30031;
inline constexpr std::int32_t kKeyHookTimeoutSeconds = 30032;
// The [output] files roll as the service log does; left out, they never roll.
inline constexpr std::int32_t kKeyOutputRollBytes = 30033;
inline constexpr std::int32_t kKeyOutputRollDaily = 30034;
inline constexpr std::int32_t kKeyOutputKeptFiles = 30035;
inline constexpr std::int32_t kKeyOutputKeptDays = 30036;

// Numbered messages.
inline constexpr std::int32_t kMsgJvmNotStartable = 1005;
inline constexpr std::int32_t kMsgMissingClassPathEntry = 1006;
inline constexpr std::int32_t kMsgWrongParameterUsage = 1007;
inline constexpr std::int32_t kMsgUndefinedVariable = 1008;
inline constexpr std::int32_t kMsgInternalError = 1009;
inline constexpr std::int32_t kMsgMainClassMissing = 1010;
inline constexpr std::int32_t kMsgMainMethodMissing = 1011;
inline constexpr std::int32_t kMsgNoTempDir = 1015;
inline constexpr std::int32_t kMsgNoJvmFound = 1016;
inline constexpr std::int32_t kMsgJvmVariableUnusable = 1019;
inline constexpr std::int32_t kMsgJvmDamaged = 1021;

// Application types of key 107.
inline constexpr int kAppTypeWindowed = 1;
inline constexpr int kAppTypeAutoStartService = 4;
inline constexpr int kAppTypeMessageBox = 5;

}  // namespace runvo
