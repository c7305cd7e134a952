// Registering the service: created with its start type, display name,
// dependencies and account, then configured (description, recovery, delayed
// start, pre-shutdown time, environment, event log source). A failing step
// deletes the service again, so a failed /install leaves nothing behind.
#include "service/service_install.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "util/win.h"

#include <ntsecapi.h>

#include "payload/config.h"
#include "service/event_log.h"
#include "service/folder_access.h"
#include "service/host_rules.h"
#include "service/scm_access.h"
#include "service/service_control.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/unique_handle.h"
#include "util/win_text.h"

namespace runvo {

namespace {
// A step that failed, with the system's error code.
struct StepFailure {
  std::string step;
  DWORD error = 0;
};

// Names separated by commas become the NUL-separated, double-NUL-terminated
// list CreateService takes; empty pieces carry no name. Empty when no name.
std::string dependencyList(std::string_view commaSeparated) {
  std::string list;
  for (const std::string& name : splitNonEmpty(commaSeparated, ',')) list.append(name).push_back('\0');
  if (!list.empty()) list.push_back('\0');
  return list;
}

// The SCM starts the program by its command line, so a path with a space has
// to be quoted: unquoted, Windows would first try to run "C:\Program.exe",
// and the service host would split its own path into two arguments.
std::string registeredProgramPath() {
  const std::string& path = modulePath();
  return path.find(' ') == std::string::npos ? path : '"' + path + '"';
}

// A user's password: from the variable the payload names, else one line of
// standard input. Never stored anywhere.
std::wstring readPassword(const ServiceSettings& settings) {
  if (!settings.passwordVariable.empty()) {
    const std::wstring variable = toWide(settings.passwordVariable, CP_ACP);
    const DWORD length = GetEnvironmentVariableW(variable.c_str(), nullptr, 0);
    if (length > 0) {
      std::wstring value(length, L'\0');
      value.resize(GetEnvironmentVariableW(variable.c_str(), value.data(), length));
      return value;
    }
  }
  std::fprintf(stderr, "Password of %s: ", settings.account.user.c_str());
  std::fflush(stderr);
  // Read with stdio: the iostreams would be set up at every start of the
  // program for this one line.
  std::string line;
  for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin)) line += static_cast<char>(c);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return toWide(line, GetConsoleCP() != 0 ? GetConsoleCP() : CP_ACP);
}

// A user account must be able to log on as a service: checked before the
// service exists, so that a wrong password fails /install, not the first start.
bool passwordAccepted(const std::string& user, const std::wstring& password, DWORD& error) {
  const std::size_t backslash = user.find('\\');
  const std::wstring domain = toWide(backslash == std::string::npos ? "." : user.substr(0, backslash), CP_ACP);
  const std::wstring name = toWide(backslash == std::string::npos ? user : user.substr(backslash + 1), CP_ACP);
  HANDLE token = nullptr;
  if (!LogonUserW(name.c_str(), domain.c_str(), password.c_str(), LOGON32_LOGON_SERVICE, LOGON32_PROVIDER_DEFAULT,
                  &token)) {
    error = GetLastError();
    return false;
  }
  CloseHandle(token);
  return true;
}

// Grants the "log on as a service" right (SeServiceLogonRight) to an account.
bool grantServiceLogon(const std::string& user, DWORD& error) {
  LSA_OBJECT_ATTRIBUTES attributes{};
  LSA_HANDLE policy = nullptr;
  NTSTATUS status = LsaOpenPolicy(nullptr, &attributes, POLICY_LOOKUP_NAMES | POLICY_CREATE_ACCOUNT, &policy);
  if (status != 0) {
    error = LsaNtStatusToWinError(status);
    return false;
  }
  std::wstring name = toWide(user.rfind(".\\", 0) == 0 ? user.substr(2) : user, CP_ACP);
  LSA_UNICODE_STRING account{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                             static_cast<USHORT>(name.size() * sizeof(wchar_t)), name.data()};
  PLSA_REFERENCED_DOMAIN_LIST domains = nullptr;
  PLSA_TRANSLATED_SID2 sids = nullptr;
  status = LsaLookupNames2(policy, 0, 1, &account, &domains, &sids);
  if (status == 0) {
    wchar_t right[] = L"SeServiceLogonRight";
    LSA_UNICODE_STRING rights{sizeof right - sizeof(wchar_t), sizeof right, right};
    status = LsaAddAccountRights(policy, sids[0].Sid, &rights, 1);
  }
  if (domains) LsaFreeMemory(domains);
  if (sids) LsaFreeMemory(sids);
  LsaClose(policy);
  error = LsaNtStatusToWinError(status);
  return status == 0;
}

// The shutdown privilege, which a reboot action needs from whoever registers it.
void enableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  TOKEN_PRIVILEGES privileges{1, {}};
  if (LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
  CloseHandle(token);
}

constexpr DWORD kDeletionWaitMs = 5000;
constexpr DWORD kDeletionPollMs = 100;

std::wstring serviceKey(const std::string& name) { return L"SYSTEM\\CurrentControlSet\\Services\\" + fromUtf8(name); }

// A setting of ChangeServiceConfig2 that has a DWORD registry value of its
// own. A manager that does not know the level (Wine's, for some) gets the
// value where Windows keeps it.
bool changeConfig2(SC_HANDLE service, const std::string& name, DWORD level, void* info, const wchar_t* valueName,
                   DWORD value) {
  if (ChangeServiceConfig2W(service, level, info)) return true;
  if (GetLastError() != ERROR_INVALID_LEVEL) return false;
  const std::wstring key = serviceKey(name);
  const LSTATUS status =
      RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), valueName, REG_DWORD, &value, sizeof value);
  SetLastError(static_cast<DWORD>(status));
  return status == ERROR_SUCCESS;
}

// A manager that accepts failure actions but cannot report them back
// (Wine's) gets them where Windows keeps them, in the registry layout of
// SERVICE_FAILURE_ACTIONS: reset period, two unused fields, the count, an
// unused field, then each action's type and delay.
std::optional<StepFailure> keepFailureActionsReadable(SC_HANDLE service, const std::string& name,
                                                      const SERVICE_FAILURE_ACTIONSW& record) {
  DWORD needed = 0;
  if (QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &needed) ||
      GetLastError() != ERROR_INVALID_LEVEL) {
    return std::nullopt;
  }
  std::vector<DWORD> blob{record.dwResetPeriod, 0, 0, record.cActions, 0};
  for (DWORD i = 0; i < record.cActions; ++i) {
    blob.push_back(static_cast<DWORD>(record.lpsaActions[i].Type));
    blob.push_back(record.lpsaActions[i].Delay);
  }
  const std::wstring key = serviceKey(name);
  const LSTATUS status = RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"FailureActions", REG_BINARY, blob.data(),
                                         static_cast<DWORD>(blob.size() * sizeof(DWORD)));
  if (status != ERROR_SUCCESS) return StepFailure{"setting the failure actions", static_cast<DWORD>(status)};
  return std::nullopt;
}

std::optional<StepFailure> setFailureActions(SC_HANDLE service, const std::string& name,
                                             const ServiceSettings& settings) {
  if (settings.failureActions.empty() && !settings.failureOnErrorExit) return std::nullopt;
  std::vector<SC_ACTION> actions;
  bool reboot = false;
  for (const FailureAction& action : settings.failureActions) {
    actions.push_back({static_cast<SC_ACTION_TYPE>(action.type), action.delayMs});
    reboot = reboot || action.type == FailureActionType::Reboot;
  }
  if (reboot) enableShutdownPrivilege();
  SERVICE_FAILURE_ACTIONSW record{};
  record.dwResetPeriod = settings.failureResetSeconds;
  record.cActions = static_cast<DWORD>(actions.size());
  record.lpsaActions = actions.empty() ? nullptr : actions.data();
  if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &record)) {
    return StepFailure{"setting the failure actions", GetLastError()};
  }
  if (auto failed = keepFailureActionsReadable(service, name, record)) return failed;
  SERVICE_FAILURE_ACTIONS_FLAG flag{settings.failureOnErrorExit ? TRUE : FALSE};
  if (!changeConfig2(service, name, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag, L"FailureActionsOnNonCrashFailures",
                     flag.fFailureActionsOnNonCrashFailures)) {
    return StepFailure{"counting exits with an error as failures", GetLastError()};
  }
  return std::nullopt;
}

// The environment the service manager hands the service's process: the
// service's own Environment value, NUL-separated lines.
std::optional<StepFailure> setEnvironment(const std::string& name, const ServiceSettings& settings) {
  if (settings.environment.empty()) return std::nullopt;
  std::wstring block;
  for (const std::string& line : settings.environment) block += toWide(line, CP_ACP) + L'\0';
  block += L'\0';
  const std::wstring key = serviceKey(name);
  const LSTATUS status = RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Environment", REG_MULTI_SZ, block.data(),
                                         static_cast<DWORD>(block.size() * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) return StepFailure{"setting the service's environment", static_cast<DWORD>(status)};
  return std::nullopt;
}

std::optional<StepFailure> configure(SC_HANDLE service, const InstallRequest& request, const ServiceSettings& settings) {
  if (std::wstring description(asWin(getConfigWString(kKeyServiceDescription))); !description.empty()) {
    SERVICE_DESCRIPTIONW record{description.data()};
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &record)) {
      return StepFailure{"setting the description", GetLastError()};
    }
  }
  if (auto failed = setFailureActions(service, request.name, settings)) return failed;
  if (request.delayedStart) {
    SERVICE_DELAYED_AUTO_START_INFO delayed{TRUE};
    if (!changeConfig2(service, request.name, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed, L"DelayedAutostart",
                       1)) {
      return StepFailure{"setting the delayed start", GetLastError()};
    }
  }
  if (settings.preshutdownMs) {
    SERVICE_PRESHUTDOWN_INFO preshutdown{*settings.preshutdownMs};
    if (!changeConfig2(service, request.name, SERVICE_CONFIG_PRESHUTDOWN_INFO, &preshutdown, L"PreshutdownTimeout",
                       *settings.preshutdownMs)) {
      return StepFailure{"setting the pre-shutdown time", GetLastError()};
    }
  }
  return setEnvironment(request.name, settings);
}

// What the manager registers for the service, as the wide calls take it
// (Wine 8's CreateServiceA keeps only the first name of a dependency list).
struct Registration {
  std::wstring name;
  std::wstring displayName;
  std::wstring program;
  std::wstring dependencies;  // empty: none
  std::wstring account;       // empty: LocalSystem
  DWORD serviceType = SERVICE_WIN32_OWN_PROCESS;
  bool needsPassword = false;
};

Registration registrationOf(const InstallRequest& request, const ServiceSettings& settings) {
  Registration r;
  r.name = fromUtf8(request.name);
  r.displayName = settings.displayName.empty() ? r.name : toWide(settings.displayName, CP_ACP);
  r.program = toWide(registeredProgramPath(), fileCodePage());
  r.dependencies = toWide(dependencyList(getConfigString(kKeyDependencies)), CP_ACP);
  // A virtual account is named after the service, whose name is UTF-8.
  r.account = settings.account.kind == AccountKind::Virtual ? fromUtf8(accountName(settings.account, request.name))
                                                              : toWide(accountName(settings.account, request.name), CP_ACP);
  // Only LocalSystem may interact with a desktop; Windows ignores it since Vista anyway.
  const bool interactive = request.interactive && settings.interactive.value_or(true) &&
                           settings.account.kind == AccountKind::LocalSystem;
  r.serviceType = SERVICE_WIN32_OWN_PROCESS | (interactive ? SERVICE_INTERACTIVE_PROCESS : 0);
  r.needsPassword = settings.account.kind == AccountKind::User || settings.account.kind == AccountKind::LocalService ||
                    settings.account.kind == AccountKind::NetworkService;
  return r;
}

UniqueServiceHandle createService(SC_HANDLE manager, const InstallRequest& request, const Registration& r,
                                  const std::wstring& password) {
  return UniqueServiceHandle(CreateServiceW(
      manager, r.name.c_str(), r.displayName.c_str(), SERVICE_ALL_ACCESS, r.serviceType, request.startType,
      SERVICE_ERROR_NORMAL, r.program.c_str(), nullptr, nullptr, r.dependencies.empty() ? nullptr : r.dependencies.c_str(),
      r.account.empty() ? nullptr : r.account.c_str(), r.needsPassword ? password.c_str() : nullptr));
}

// Every value of the service's registry key, where the manager keeps its
// registration: an update that leaves them all as they were changed nothing.
using KeyValues = std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>>;

KeyValues keyValues(const std::string& name) {
  KeyValues values;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, serviceKey(name).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
  UniqueHKey keyHandle(key);
  for (DWORD index = 0;; ++index) {
    wchar_t valueName[16384];
    DWORD nameLength = 16384;
    DWORD type = 0;
    DWORD size = 0;
    if (RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    std::vector<BYTE> data(size);
    nameLength = 16384;
    if (RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
    data.resize(size);
    values[std::wstring(valueName, nameLength)] = {type, std::move(data)};
  }
  return values;
}

// Settings an earlier executable registered that this one's payload leaves
// out go, so that the registration is what this executable says.
std::optional<StepFailure> clearLeftOut(SC_HANDLE service, const InstallRequest& request,
                                        const ServiceSettings& settings, const KeyValues& before) {
  if (getConfigWString(kKeyServiceDescription).empty() && before.contains(L"Description")) {
    wchar_t none[] = L"";
    SERVICE_DESCRIPTIONW record{none};
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &record)) {
      return StepFailure{"removing the description", GetLastError()};
    }
  }
  if (settings.failureActions.empty() && !settings.failureOnErrorExit && before.contains(L"FailureActions")) {
    SC_ACTION none{};
    SERVICE_FAILURE_ACTIONSW record{};
    record.lpsaActions = &none;  // with a count of 0: no actions (a null pointer would keep them)
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &record)) {
      return StepFailure{"removing the failure actions", GetLastError()};
    }
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, serviceKey(request.name).c_str(), L"FailureActions");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, serviceKey(request.name).c_str(), L"FailureActionsOnNonCrashFailures");
  }
  if (!request.delayedStart && before.contains(L"DelayedAutostart")) {
    SERVICE_DELAYED_AUTO_START_INFO delayed{FALSE};
    if (!changeConfig2(service, request.name, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed, L"DelayedAutostart",
                       0)) {
      return StepFailure{"removing the delayed start", GetLastError()};
    }
  }
  if (settings.environment.empty() && before.contains(L"Environment")) {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, serviceKey(request.name).c_str(), L"Environment");
  }
  return std::nullopt;
}

int failInstall(const std::string& line, DWORD error) {
  printFailure(line, error);
  return 1;
}

// A user's password is asked for, checked, and the logon right granted.
// Empty and true when there is no user account.
bool preparePassword(const ServiceSettings& settings, std::wstring& password, int& exitCode) {
  if (settings.account.kind == AccountKind::GroupManaged) {
    // Often granted by policy instead; the service manager says so at the first start if not.
    DWORD error = 0;
    if (!grantServiceLogon(settings.account.user, error)) {
      std::fprintf(stderr, "Could not grant %s the right to log on as a service: %s Grant it (for example by Group "
                   "Policy) before the service starts.\n", settings.account.user.c_str(), systemErrorText(error).c_str());
    }
    return true;
  }
  if (settings.account.kind != AccountKind::User) return true;
  password = readPassword(settings);
  DWORD error = 0;
  if (!passwordAccepted(settings.account.user, password, error)) {
    exitCode = failInstall("Could not install service: " + settings.account.user + " cannot log on with that password.",
                           error);
    return false;
  }
  if (!grantServiceLogon(settings.account.user, error)) {
    exitCode = failInstall("Could not grant " + settings.account.user + " the right to log on as a service.", error);
    return false;
  }
  return true;
}

// Makes the folder and grants the account its entry: "Granted ..." on
// standard output, or what failed on standard error.
void prepareFolder(const std::string& folder, const FolderGrant& grant, const std::string& account) {
  const char* step = "creating";
  DWORD error = createFolderTree(folder);
  if (error == 0) {
    step = "granting the right to modify";
    error = grantOnFolder(folder, grant);
  }
  if (error != 0) {
    std::fprintf(stderr, "Could not prepare %s for %s: %s it failed: %s\n", folder.c_str(), account.c_str(), step,
                 systemErrorText(error).c_str());
    return;
  }
  std::printf("Granted %s the right to modify %s and what it holds.\n", account.c_str(), folder.c_str());
}

// The folders the service writes, made and opened to an account that is not
// LocalSystem. What could not be done is said on standard error and leaves
// the registration as it is: the service then writes its log to the
// fallback folder.
void prepareWrittenFolders(const InstallRequest& request, const ServiceSettings& settings) {
  if (settings.account.kind == AccountKind::LocalSystem) return;
  const std::string account = utf8InAnsi(accountName(settings.account, request.name));
  const FolderChoice choice = foldersToPrepare(request.writtenFiles, launcherDirectory());
  for (const FolderChoice::PassedOver& file : choice.passedOver) {
    std::fprintf(stderr, "Not prepared for %s: %s: %s.\n", account.c_str(), file.file.c_str(), file.reason.c_str());
  }
  if (choice.prepared.empty()) return;
  DWORD error = 0;
  const std::optional<std::string> sid = serviceAccountSid(settings.account, request.name, error);
  if (!sid) {
    std::string folders;
    for (const std::string& folder : choice.prepared) folders += (folders.empty() ? "" : ", ") + folder;
    std::fprintf(stderr, "Could not find the account %s (%s): grant it the right to modify %s yourself.\n",
                 account.c_str(), systemErrorText(error).c_str(), folders.c_str());
    return;
  }
  const FolderGrant grant = *folderGrantFor(settings.account.kind, *sid);
  for (const std::string& folder : choice.prepared) prepareFolder(folder, grant, account);
}

bool sameAccount(const std::wstring& registered, const std::wstring& wanted) {
  const auto isLocalSystem = [](const std::wstring& account) {
    return account.empty() || _wcsicmp(account.c_str(), L"LocalSystem") == 0 ||
           _wcsicmp(account.c_str(), L".\\LocalSystem") == 0;
  };
  if (isLocalSystem(registered) || isLocalSystem(wanted)) return isLocalSystem(registered) == isLocalSystem(wanted);
  return _wcsicmp(registered.c_str(), wanted.c_str()) == 0;
}

// An existing registration of this executable, brought to what its payload
// says now. A user account keeps its stored password unless it changes or a
// password is given through the payload's variable.
int updateService(SC_HANDLE service, const Registered& registered, const InstallRequest& request,
                  const ServiceSettings& settings) {
  const KeyValues before = keyValues(request.name);
  const Registration r = registrationOf(request, settings);
  const bool accountChanges = !sameAccount(registered.account, r.account);
  const bool passwordGiven = !settings.passwordVariable.empty() &&
                             GetEnvironmentVariableW(toWide(settings.passwordVariable, CP_ACP).c_str(), nullptr, 0) > 0;
  std::wstring password;
  int exitCode = 0;
  const bool askPassword = settings.account.kind == AccountKind::User && (accountChanges || passwordGiven);
  if ((askPassword || (accountChanges && settings.account.kind == AccountKind::GroupManaged)) &&
      !preparePassword(settings, password, exitCode)) {
    return exitCode;
  }
  const bool setPassword = askPassword || (accountChanges && r.needsPassword);
  // An empty list clears the dependencies, a null one would keep them.
  const std::wstring dependencies = r.dependencies.empty() ? std::wstring(1, L'\0') : r.dependencies;
  const BOOL changed = ChangeServiceConfigW(
      service, r.serviceType, request.startType, SERVICE_ERROR_NORMAL, r.program.c_str(), nullptr, nullptr,
      dependencies.c_str(), accountChanges ? (r.account.empty() ? L"LocalSystem" : r.account.c_str()) : nullptr,
      setPassword ? password.c_str() : nullptr, r.displayName.c_str());
  const DWORD changeError = GetLastError();
  SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
  if (!changed) return failInstall("Could not update service.", changeError);
  if (auto failed = clearLeftOut(service, request, settings, before)) {
    return failInstall("Could not update service: " + failed->step + " failed.", failed->error);
  }
  if (auto failed = configure(service, request, settings)) {
    return failInstall("Could not update service: " + failed->step + " failed.", failed->error);
  }
  registerEventSource(request.name);
  const std::string quoted = "'" + utf8InAnsi(request.name) + "'";
  const bool unchanged = keyValues(request.name) == before;
  std::printf(unchanged ? "Service %s is up to date: nothing changed.\n" : "Updated service %s.\n", quoted.c_str());
  // The folders follow the payload, not the registration: checked either way.
  prepareWrittenFolders(request, settings);
  if (unchanged) return 0;
  SERVICE_STATUS status{};
  if (QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED) {
    std::printf("The service runs on: its registration changed now; the application gets this executable's payload "
                "at its next start.\n");
  }
  return 0;
}
}  // namespace

int installService(const InstallRequest& request, const ServiceSettings& settings) {
  if (!carriedWhole(asPortable(fromUtf8(request.name)))) {
    std::printf("Could not install service: the name '%s' holds both a double quote and an apostrophe, which the "
                "application cannot be handed unchanged.\n",
                utf8InAnsi(request.name).c_str());
    return 1;
  }
  const UniqueServiceHandle manager = openManager(SC_MANAGER_ALL_ACCESS);
  if (!manager) return failInstall("Could not open SCManager.", GetLastError());
  if (const UniqueServiceHandle existing = openService(manager, request.name, SERVICE_ALL_ACCESS)) {
    const std::optional<Registered> registered = registeredConfig(existing.get());
    if (!registered) return failInstall("Could not read the registration of service.", GetLastError());
    if (!isThisExecutable(registered->program.c_str())) {
      std::printf("Could not install service: '%s' is registered to %s, not to this executable %s; nothing was "
                  "changed. Uninstall it with its own executable first.\n",
                  utf8InAnsi(request.name).c_str(), registered->program.c_str(), modulePath().c_str());
      return 1;
    }
    return updateService(existing.get(), *registered, request, settings);
  }
  std::wstring password;
  int exitCode = 0;
  if (!preparePassword(settings, password, exitCode)) return exitCode;
  const Registration registration = registrationOf(request, settings);
  // A registration that was just removed goes only once every handle to it is
  // closed (a Services console, a status query); until then the name is taken.
  UniqueServiceHandle service = createService(manager.get(), request, registration, password);
  for (DWORD waited = 0; !service && GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE && waited < kDeletionWaitMs;
       waited += kDeletionPollMs) {
    Sleep(kDeletionPollMs);
    service = createService(manager.get(), request, registration, password);
  }
  SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
  if (!service) return failInstall("Could not create service.", GetLastError());
  if (auto failed = configure(service.get(), request, settings)) {
    DeleteService(service.get());
    return failInstall("Could not install service: " + failed->step + " failed.", failed->error);
  }
  if (!registerEventSource(request.name)) {
    std::fprintf(stderr, "The event log source '%s' could not be registered.\n", utf8InAnsi(request.name).c_str());
  }
  std::printf("Installed service '%s'.\n", utf8InAnsi(request.name).c_str());
  prepareWrittenFolders(request, settings);
  return 0;
}

}  // namespace runvo
