// The service verbs against Wine's real Service Control Manager: what they
// register, what they print and the exit codes scripts rely on. Stopping a
// running service and its status "Running." need a working service host and
// are tested with it.
#include <cctype>
#include <fstream>

#include "launcher_fixture.h"
#include "service_scope.h"

namespace runvo::testing {
namespace {

namespace fs = std::filesystem;

using NarrowEntries = std::vector<std::pair<std::int32_t, std::string>>;
using WideEntries = std::vector<std::pair<std::int32_t, std::u16string>>;

std::wstring widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string upperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class ServiceControl : public LauncherTest {
 protected:
  // A launcher whose configured service name (key 101) is `name`.
  fs::path launcherFor(const std::string& name, NarrowEntries narrow = {}, const WideEntries& wide = {},
                       const fs::path& file = "svc.exe") {
    narrow.insert(narrow.begin(), {101, name});
    return makeLauncher(PayloadBytes::tables(narrow, wide), file);
  }
  LauncherRun verb(const fs::path& launcher, const std::wstring& arguments) {
    return run(launcher, {.arguments = arguments});
  }
  // Installs from a launcher that only differs in the configured key 149 or 20017.
  std::string installWith(const NarrowEntries& narrow, const WideEntries& wide, int caseNumber) {
    const std::string name = services_.fresh();
    const auto launcher = launcherFor(name, narrow, wide, "case" + std::to_string(caseNumber) + ".exe");
    const LauncherRun r = verb(launcher, L"/install");
    EXPECT_EQ(r.out, "Installed service '" + name + "'.\r\n") << r.err;
    EXPECT_EQ(r.exitCode, 0u);
    return name;
  }

  ServiceScope services_;
};

TEST_F(ServiceControl, InstallRegistersThisExecutableAsAnOwnProcessServiceOfLocalSystem) {
  struct Case {
    std::wstring arguments;
    DWORD startType;
    DWORD serviceType;
  };
  const Case cases[] = {
      {L"/install-auto", SERVICE_AUTO_START, 0x110},
      {L"/install-auto non-interactive", SERVICE_AUTO_START, 0x10},
      {L"/install-demand", SERVICE_DEMAND_START, 0x110},
      {L"/install-demand non-interactive", SERVICE_DEMAND_START, 0x10},
  };
  const std::string name = services_.fresh();
  const auto launcher = launcherFor(name);
  bool first = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.arguments.begin(), c.arguments.end()));
    const LauncherRun r = verb(launcher, c.arguments);
    EXPECT_EQ(r.exitCode, 0u);
    // The same executable again: its registration is brought up to date in place.
    EXPECT_EQ(r.out, (first ? "Installed service '" : "Updated service '") + name + "'.\r\n");
    first = false;
    const auto config = queryServiceConfig(name);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->startType, c.startType);
    EXPECT_EQ(config->serviceType, c.serviceType);
    EXPECT_EQ(config->errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(config->binaryPath, launcher.string());
    EXPECT_EQ(config->displayName, name);
    EXPECT_EQ(config->account, "LocalSystem");
  }
}

TEST_F(ServiceControl, AProgramPathWithASpaceIsRegisteredQuotedAndStillCountsAsOwn) {
  // Unquoted, the service manager would try "...\with.exe" first, and the
  // service host would see its own path as two arguments.
  const std::string name = services_.fresh();
  const auto launcher = launcherFor(name, {}, {}, fs::path("with space") / "svc.exe");
  ASSERT_EQ(verb(launcher, L"/install").exitCode, 0u);
  const auto config = queryServiceConfig(name);
  ASSERT_TRUE(config);
  EXPECT_EQ(config->binaryPath, "\"" + launcher.string() + "\"");
  const LauncherRun status = verb(launcher, L"/status");
  EXPECT_EQ(status.out, "Not running.\r\n");
  EXPECT_EQ(status.exitCode, 3u);
}

TEST_F(ServiceControl, DependenciesAreTheNonEmptyPiecesOfTheCommaSeparatedList) {
  struct Case {
    std::optional<std::string> configured;
    std::optional<std::wstring> stored;  // empty: no dependencies at all
  };
  using namespace std::string_literals;
  const Case cases[] = {
      {",Tcpip,,Dnscache,", L"Tcpip\0Dnscache\0\0"s},
      {"Tcpip", L"Tcpip\0\0"s},
      {"Rpc Ss, Tcpip", L"Rpc Ss\0 Tcpip\0\0"s},
      {"", std::nullopt},
      {",,", std::nullopt},
      {std::nullopt, std::nullopt},
  };
  int caseNumber = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.configured.value_or("(no key 149)"));
    NarrowEntries narrow;
    if (c.configured) narrow.push_back({149, *c.configured});
    const std::string name = installWith(narrow, {}, caseNumber++);
    EXPECT_EQ(storedDependencies(name), c.stored);
  }
}

TEST_F(ServiceControl, TheDescriptionIsSetOnlyWhenConfigured) {
  struct Case {
    std::optional<std::u16string> configured;
    std::wstring expected;
  };
  const Case cases[] = {
      {u"Serves the hello application", L"Serves the hello application"},
      // Wide all the way: none of this fits the ANSI code page.
      {u"\u041F\u0440\u0438\u0432\u0435\u0442 \u2615 \u65E5\u672C",
       L"\u041F\u0440\u0438\u0432\u0435\u0442 \u2615 \u65E5\u672C"},
      {u"", L""},
      {std::nullopt, L""},
  };
  int caseNumber = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(caseNumber);
    WideEntries wide;
    if (c.configured) wide.push_back({20017, *c.configured});
    const std::string name = installWith({}, wide, caseNumber++);
    EXPECT_EQ(serviceDescription(name), c.expected);
  }
}

TEST_F(ServiceControl, InstallingAgainUpdatesTheRegistrationInPlace) {
  const std::string name = services_.fresh();
  const std::string quoted = "'" + name + "'";
  const auto launcher = launcherFor(name, {{30011, "Old name"}, {30014, "A=1"}, {30007, "restart/1000"}},
                                    {{20017, u"Old description"}});
  ASSERT_EQ(verb(launcher, L"/install-auto").out, "Installed service " + quoted + ".\r\n");
  const LauncherRun again = verb(launcher, L"/install-auto");
  EXPECT_EQ(again.out, "Service " + quoted + " is up to date: nothing changed.\r\n") << again.err;
  EXPECT_EQ(again.exitCode, 0u);

  // Rebuilt with other settings, at the same place: what changed is
  // registered, what the payload leaves out goes, nothing asks for a new name.
  const auto rebuilt = launcherFor(name, {{30011, "New name"}, {149, "Tcpip"}}, {{20017, u"New description"}});
  ASSERT_EQ(rebuilt, launcher);
  const LauncherRun updated = verb(rebuilt, L"/install-demand non-interactive");
  EXPECT_EQ(updated.out, "Updated service " + quoted + ".\r\n") << updated.err;
  EXPECT_EQ(updated.exitCode, 0u);
  const auto config = queryServiceConfig(name);
  ASSERT_TRUE(config);
  EXPECT_EQ(config->displayName, "New name");
  EXPECT_EQ(config->startType, static_cast<DWORD>(SERVICE_DEMAND_START));
  EXPECT_EQ(config->serviceType, 0x10u);
  EXPECT_EQ(config->binaryPath, launcher.string());
  EXPECT_EQ(serviceDescription(name), L"New description");
  using namespace std::string_literals;
  EXPECT_EQ(storedDependencies(name), L"Tcpip\0\0"s);
  const std::string key = "SYSTEM\\CurrentControlSet\\Services\\" + name;
  EXPECT_NE(RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Environment", RRF_RT_ANY, nullptr, nullptr, nullptr),
            ERROR_SUCCESS)
      << "the environment the payload no longer has is gone";
  EXPECT_NE(RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "FailureActions", RRF_RT_ANY, nullptr, nullptr, nullptr),
            ERROR_SUCCESS)
      << "so are the failure actions";
  EXPECT_EQ(verb(rebuilt, L"/install-demand non-interactive").out,
            "Service " + quoted + " is up to date: nothing changed.\r\n");
}

TEST_F(ServiceControl, AServiceOfAnotherExecutableIsNeverTakenOver) {
  const std::string name = uniqueServiceName();
  const std::string other = "C:\\windows\\system32\\cmd.exe";
  services_.createForeign(name, other, SERVICE_DEMAND_START);
  const auto launcher = launcherFor(name, {{30011, "Mine"}});
  const LauncherRun r = verb(launcher, L"/install-auto");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_NE(r.out.find("'" + name + "' is registered to " + other + ", not to this executable " + launcher.string()),
            std::string::npos)
      << r.out;
  const auto config = queryServiceConfig(name);
  ASSERT_TRUE(config) << "it is still there";
  EXPECT_EQ(config->binaryPath, other);
  EXPECT_EQ(config->displayName, name);
  EXPECT_EQ(config->startType, static_cast<DWORD>(SERVICE_DEMAND_START));
}

TEST_F(ServiceControl, StatusComparesTheRegisteredProgramWithThisExecutable) {
  const auto launcher = launcherFor("unused");
  const std::string own = launcher.string();
  const std::string cmd = "C:\\windows\\system32\\cmd.exe";
  struct Case {
    std::string registered;
    DWORD startType;
    std::string out;
    unsigned long exitCode;
  };
  const Case cases[] = {
      {own, SERVICE_DEMAND_START, "Not running.\r\n", 3},
      {own, SERVICE_AUTO_START, "Not running.\r\nAuto-start.\r\n", 3},
      {upperCase(own), SERVICE_AUTO_START, "Not running.\r\nAuto-start.\r\n", 3},
      {own + " --with arguments", SERVICE_DEMAND_START, "Not running.\r\n", 3},
      {"\"" + own + "\"", SERVICE_DEMAND_START, "Not running.\r\n", 3},
      {cmd, SERVICE_AUTO_START, "Not running.\r\nDifferent service executable: " + cmd + "\r\n", 1},
      {own.substr(0, own.size() - 4), SERVICE_DEMAND_START,
       "Not running.\r\nDifferent service executable: " + own.substr(0, own.size() - 4) + "\r\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.registered);
    const std::string name = uniqueServiceName();
    services_.createForeign(name, c.registered, c.startType);
    const LauncherRun r = verb(launcher, L"/status " + widen(name));
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.exitCode, c.exitCode);
  }
}

TEST_F(ServiceControl, StatusNamesTheSizeOfAConfigurationTooLargeForItsBuffer) {
  const std::string name = uniqueServiceName();
  services_.createForeign(name, "C:\\" + std::string(9000, 'x') + ".exe", SERVICE_DEMAND_START);
  const DWORD needed = configBytesNeeded(name);
  ASSERT_GT(needed, 8192u);
  const LauncherRun r = verb(launcherFor(name), L"/status");
  EXPECT_EQ(r.out, "Not running.\r\nCould not get config (122, " + std::to_string(needed) + ").\r\n");
  EXPECT_EQ(r.exitCode, 1u);
}

TEST_F(ServiceControl, EveryVerbFailsOnAMissingService) {
  struct Case {
    std::wstring verb;
    std::string out;
  };
  const Case cases[] = {
      {L"/status", "Could not get status.\r\n"},
      {L"/start", "Could not start service. Error code: 1060\r\n"},
      {L"/stop", "Could not stop service.\r\n"},
      {L"/uninstall", "Could not delete service.\r\n"},
  };
  const auto launcher = launcherFor(services_.fresh());
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.verb.begin(), c.verb.end()));
    const LauncherRun r = verb(launcher, c.verb);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.exitCode, 1u);
    // The system's reason, on standard error.
    EXPECT_NE(r.err.find("(1060)\r\n"), std::string::npos) << r.err;
    EXPECT_GT(r.err.size(), std::string("(1060)\r\n").size() + 10) << "a text before the code: " << r.err;
  }
}

TEST_F(ServiceControl, TheEventLogSourceComesAndGoesWithTheService) {
  const std::string name = services_.fresh();
  const auto launcher = launcherFor(name);
  const std::string key = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + name;
  ASSERT_EQ(verb(launcher, L"/install").exitCode, 0u);
  UniqueHKey source;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, source.put()), ERROR_SUCCESS);
  DWORD types = 0;
  DWORD size = sizeof types;
  EXPECT_EQ(RegQueryValueExA(source.get(), "TypesSupported", nullptr, nullptr, reinterpret_cast<BYTE*>(&types), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(types, 7u);
  source.reset();
  ASSERT_EQ(verb(launcher, L"/uninstall").exitCode, 0u);
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, source.put()), ERROR_SUCCESS);
}

TEST_F(ServiceControl, AQuotedServiceNameLosesItsQuotes) {
  const std::string name = services_.fresh() + " with space";
  services_.add(name);
  const auto launcher = launcherFor("configured");
  const std::wstring quoted = L"\"" + std::wstring(name.begin(), name.end()) + L"\"";
  const LauncherRun install = verb(launcher, L"/install " + quoted);
  EXPECT_EQ(install.out, "Installed service '" + name + "'.\r\n");
  EXPECT_TRUE(serviceExists(name));
  EXPECT_EQ(verb(launcher, L"/status " + quoted).out, "Not running.\r\n");
}

TEST_F(ServiceControl, AnInstalledServiceThatDoesNotRunCannotBeStoppedButCanBeRemoved) {
  const std::string name = services_.fresh();
  const auto launcher = launcherFor(name);
  ASSERT_EQ(verb(launcher, L"/install").exitCode, 0u);

  const LauncherRun stop = verb(launcher, L"/stop");
  EXPECT_EQ(stop.out, "Could not stop service.\r\n");
  EXPECT_EQ(stop.exitCode, 1u);

  const LauncherRun uninstall = verb(launcher, L"/uninstall");
  EXPECT_EQ(uninstall.out, "Uninstalled service '" + name + "'.\r\n");
  EXPECT_EQ(uninstall.exitCode, 0u);
  EXPECT_FALSE(serviceExists(name));

  const LauncherRun again = verb(launcher, L"/uninstall");
  EXPECT_EQ(again.out, "Could not delete service.\r\n");
  EXPECT_EQ(again.exitCode, 1u);
}

TEST_F(ServiceControl, AStartThatEndsBeforeTheApplicationRunsFailsWithItsReason) {
  // No Java runtime to be found: the child ends before main, and /start says
  // so with the service log's last lines, where the child's message landed.
  const std::string name = services_.fresh();
  const auto launcher = launcherFor(name);
  ASSERT_EQ(verb(launcher, L"/install-demand").exitCode, 0u);
  const LauncherRun start = verb(launcher, L"/start");
  EXPECT_EQ(start.out, "Starting service '" + name + "'.\r\nService '" + name + "' stopped while starting.\r\n");
  EXPECT_EQ(start.exitCode, 1u);
  EXPECT_NE(start.err.find("The application ended with exit code 1."), std::string::npos) << start.err;
  EXPECT_NE(start.err.find("No Java runtime was found where the search looked."), std::string::npos) << start.err;
  const std::string log = (launcher.parent_path() / "logs" / (name + ".log")).string();
  EXPECT_NE(start.err.find("The last lines of the service log " + log + ":"), std::string::npos) << start.err;
  EXPECT_NE(start.err.find("state: stopped (error 1066, service-specific code 1)"), std::string::npos) << start.err;
}

// A value under the service's registry key, where Wine's manager keeps what
// its QueryServiceConfig2 does not report.
std::optional<std::vector<BYTE>> serviceValue(const std::string& name, const wchar_t* value) {
  UniqueHKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("SYSTEM\\CurrentControlSet\\Services\\" + name).c_str(), 0, KEY_READ,
                    key.put()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), value, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  std::vector<BYTE> data(size);
  if (RegQueryValueExW(key.get(), value, nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS) return std::nullopt;
  return data;
}

TEST_F(ServiceControl, InstallRegistersTheServiceOperations) {
  const std::string name = services_.fresh();
  const auto launcher = launcherFor(name, {{30006, "120"},
                                           {30007, "restart/60000;restart/120000;none/0"},
                                           {30008, "3600"},
                                           {30009, "1"},
                                           {30011, "My Display Name"},
                                           {30012, "NetworkService"},
                                           {30014, "JAVA_TOOL_OPTIONS=-Xmx1g\nRUNVO_LOG=yes"},
                                           {30015, "0"}});
  const LauncherRun install = verb(launcher, L"/install-delayed");
  ASSERT_EQ(install.exitCode, 0u) << install.out << install.err;

  const auto config = queryServiceConfig(name);
  ASSERT_TRUE(config);
  EXPECT_EQ(config->startType, static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_EQ(config->serviceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS)) << "not interactive";
  EXPECT_EQ(config->displayName, "My Display Name");
  EXPECT_EQ(config->account, "NT AUTHORITY\\NetworkService");

  // Wine's QueryServiceConfig2 does not know failure actions: they are read
  // where Windows keeps them, in SERVICE_FAILURE_ACTIONS' registry layout.
  const auto failureActions = serviceValue(name, L"FailureActions");
  ASSERT_TRUE(failureActions);
  ASSERT_EQ(failureActions->size(), (5u + 3u * 2u) * sizeof(DWORD));
  const auto* words = reinterpret_cast<const DWORD*>(failureActions->data());
  EXPECT_EQ(words[0], 3600u) << "reset period";
  EXPECT_EQ(words[3], 3u) << "count";
  EXPECT_EQ(std::vector<DWORD>(words + 5, words + 11),
            (std::vector<DWORD>{SC_ACTION_RESTART, 60000, SC_ACTION_RESTART, 120000, SC_ACTION_NONE, 0}));

  // Wine's manager keeps these without reporting them: their registry values.
  const auto delayed = serviceValue(name, L"DelayedAutostart");
  ASSERT_TRUE(delayed);
  EXPECT_EQ((*delayed)[0], 1);
  const auto environment = serviceValue(name, L"Environment");
  ASSERT_TRUE(environment);
  const std::wstring block(reinterpret_cast<const wchar_t*>(environment->data()), environment->size() / sizeof(wchar_t));
  EXPECT_EQ(block, std::wstring(L"JAVA_TOOL_OPTIONS=-Xmx1g\0RUNVO_LOG=yes\0\0", 40));
  const auto preshutdown = serviceValue(name, L"PreshutdownTimeout");
  ASSERT_TRUE(preshutdown);
  EXPECT_EQ(*reinterpret_cast<const DWORD*>(preshutdown->data()), 120000u);
  const auto nonCrash = serviceValue(name, L"FailureActionsOnNonCrashFailures");
  ASSERT_TRUE(nonCrash);
  EXPECT_EQ(*reinterpret_cast<const DWORD*>(nonCrash->data()), 1u);
}

TEST_F(ServiceControl, ANamedAccountTakesItsPasswordFromTheNamedVariable) {
  // An account that exists here: the one running the tests. (Wine does not
  // check passwords; the right to log on as a service is granted through LSA.)
  char user[256];
  DWORD length = sizeof user;
  ASSERT_TRUE(GetUserNameA(user, &length));
  const std::string name = services_.fresh();
  const auto launcher = launcherFor(name, {{30012, user}, {30013, "SVC_PASSWORD"}});
  const LauncherRun install =
      run(launcher, {.arguments = L"/install", .environment = {{L"SVC_PASSWORD", L"s3cret"}}});
  ASSERT_EQ(install.exitCode, 0u) << install.out << install.err;
  const auto config = queryServiceConfig(name);
  ASSERT_TRUE(config);
  EXPECT_EQ(config->account, std::string(".\\") + user);
  EXPECT_EQ(config->serviceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS)) << "only LocalSystem interacts";
  EXPECT_EQ(readFile(launcher).find("s3cret"), std::string::npos) << "the password is never in the payload";
}

TEST_F(ServiceControl, AGroupManagedAccountInstallsWithoutAPassword) {
  const std::string name = services_.fresh();
  const auto launcher = launcherFor(name, {{30012, "CORP\\web$"}, {30013, "SVC_PASSWORD"}});
  // Standard input ends at once: a password prompt would show on standard error.
  const LauncherRun install = run(launcher, {.arguments = L"/install"});
  ASSERT_EQ(install.exitCode, 0u) << install.out << install.err;
  EXPECT_EQ(install.out, "Installed service '" + name + "'.\r\n");
  EXPECT_EQ(install.err.find("Password of"), std::string::npos) << install.err;
  // Wine cannot look a domain account up: the grant fails, and says how to get the right.
  EXPECT_NE(install.err.find("Could not grant CORP\\web$ the right to log on as a service:"), std::string::npos)
      << install.err;
  const auto config = queryServiceConfig(name);
  ASSERT_TRUE(config);
  EXPECT_EQ(config->account, "CORP\\web$");
  EXPECT_EQ(config->serviceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
}

TEST_F(ServiceControl, InstallPreparesTheFoldersALeastPrivilegeAccountWritesAndSaysWhatItGranted) {
  const std::string name = services_.fresh();
  const fs::path folder = dir_ / "grants";
  fs::create_directories(folder);
  const std::string outputFile = (folder / "out" / "app.out").string();
  const auto launcher = launcherFor(name, {{30012, "virtual"}, {104, "1"}, {105, outputFile}, {102, "1"}, {103, "err.txt"}},
                                    {}, "grants\\svc.exe");
  const std::string account = "NT SERVICE\\" + name;
  const LauncherRun install = verb(launcher, L"/install");
  EXPECT_EQ(install.out, "Installed service '" + name + "'.\r\nGranted " + account + " the right to modify " +
                             (folder / "logs").string() + " and what it holds.\r\nGranted " + account +
                             " the right to modify " + (folder / "out").string() + " and what it holds.\r\n")
      << install.err;
  EXPECT_EQ(install.err, "Not prepared for " + account + ": " + (folder / "err.txt").string() +
                             ": it lies in the executable's own folder, which stays read-only to the account.\r\n");
  EXPECT_EQ(install.exitCode, 0u);
  EXPECT_TRUE(fs::is_directory(folder / "logs"));
  EXPECT_TRUE(fs::is_directory(folder / "out"));

  // Updated in place with another log folder, one whose path names a file:
  // said, and the file left as it was; the registration stands.
  std::ofstream(folder / "blocker") << "keep";
  const auto rebuilt = launcherFor(name, {{30012, "virtual"}, {30001, "blocker\\logs"}}, {}, "grants\\svc.exe");
  const LauncherRun update = verb(rebuilt, L"/install");
  EXPECT_EQ(update.exitCode, 0u);
  EXPECT_EQ(update.out, "Service '" + name + "' is up to date: nothing changed.\r\n");
  EXPECT_NE(update.err.find("Could not prepare " + (folder / "blocker" / "logs").string() + " for " + account +
                            ": creating it failed: "),
            std::string::npos)
      << update.err;
  EXPECT_EQ(readFile(folder / "blocker"), "keep");

  // LocalSystem may write anywhere: nothing is granted.
  const auto asSystem = launcherFor(name, {}, {}, "grants\\svc.exe");
  const LauncherRun system = verb(asSystem, L"/install");
  EXPECT_EQ(system.out, "Updated service '" + name + "'.\r\n") << system.err;
}

TEST_F(ServiceControl, UnusableServiceSettingsFailTheInstall) {
  const std::string name = services_.fresh();
  const auto launcher = launcherFor(name, {{30007, "restart/soon"}});
  const LauncherRun install = verb(launcher, L"/install");
  EXPECT_EQ(install.exitCode, 1u);
  EXPECT_NE(install.err.find("The service settings cannot be used: the failure action \"restart/soon\""),
            std::string::npos)
      << install.err;
  EXPECT_FALSE(serviceExists(name));
}

TEST_F(ServiceControl, ThePayloadCanAskForANonInteractiveService) {
  struct Case {
    std::optional<std::string> interactive;
    std::wstring verb;
    DWORD serviceType;
  };
  const Case cases[] = {
      {std::nullopt, L"/install", SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS},
      {std::nullopt, L"/install non-interactive", SERVICE_WIN32_OWN_PROCESS},
      {"0", L"/install", SERVICE_WIN32_OWN_PROCESS},
      {"1", L"/install non-interactive", SERVICE_WIN32_OWN_PROCESS},
  };
  int index = 0;
  for (const Case& c : cases) {
    const std::string name = services_.fresh();
    NarrowEntries entries;
    if (c.interactive) entries.push_back({30015, *c.interactive});
    const auto launcher = launcherFor(name, entries, {}, "i" + std::to_string(index++) + ".exe");
    ASSERT_EQ(verb(launcher, c.verb).exitCode, 0u);
    EXPECT_EQ(queryServiceConfig(name)->serviceType, c.serviceType) << c.interactive.value_or("-");
  }
}

}  // namespace
}  // namespace runvo::testing
