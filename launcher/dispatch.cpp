#include "launcher/dispatch.h"

#include <cstdio>

#include "diag/log.h"
#include "launcher/child_run.h"
#include "launcher/command_tail.h"
#include "launcher/process_exit.h"
#include "launcher/startup.h"
#include "launcher/usage.h"
#include "launch/java_vm_launcher.h"
#include "payload/config.h"
#include "service/console_run.h"
#include "service/host_rules.h"
#include "service/scm_parent.h"
#include "service/service_control.h"
#include "service/service_host.h"
#include "service/service_install.h"
#include "service/service_log.h"
#include "util/paths.h"
#include "util/win.h"
#include "util/win_text.h"

namespace runvo {

namespace {
constexpr unsigned kDefaultStartWatchSeconds = 3;

ServiceLogPlaces serviceLogPlacesFor(const std::string& name) {
  // The file functions take ANSI; a character it lacks becomes "_" in the name.
  return serviceLogPlaces(launcherDirectory(), readServiceLogSettings(configTable()).folder, utf8InAnsi(name));
}

// What the service writes: its log and the application's [output] files.
std::vector<std::string> filesTheServiceWrites(const std::string& name) {
  std::vector<std::string> files{serviceLogPlacesFor(name).configured};
  const LaunchSettings launch = readLaunchSettings(configTable());
  for (const OutputRedirection* output : {&launch.standardOutput, &launch.standardError}) {
    if (output->enabled && !output->file.empty()) {
      files.push_back(redirectionFile(*output, LauncherValues{launcherDirectory(), "", ""}));
    }
  }
  return files;
}

StartWatch startWatch(const std::string& name) {
  const int configured = getConfigInt(kKeyStartWatchSeconds);
  const bool present = configTable().narrow().contains(kKeyStartWatchSeconds);
  return {present && configured >= 0 ? static_cast<unsigned>(configured) : kDefaultStartWatchSeconds,
          serviceLogPlacesFor(name), !getConfigString(kKeyReady).empty()};
}

// The service's settings; a payload whose settings cannot be used ends the verb.
ServiceSettings serviceSettings() {
  std::string error;
  auto settings = readServiceSettings(configTable(), error);
  if (!settings) endWithFailure(textFailure("The service settings cannot be used: " + error + ".", "reading the service settings"));
  return std::move(*settings);
}

int install(const VerbRequest& request, const std::string& name) {
  const ServiceSettings settings = serviceSettings();
  InstallRequest install{name, kDemandStart, false, request.interactive, filesTheServiceWrites(name)};
  switch (request.verb) {
    case Verb::InstallAuto: install.startType = kAutoStart; break;
    case Verb::InstallDelayed:
      install.startType = kAutoStart;
      install.delayedStart = true;
      break;
    case Verb::InstallDemand: break;
    default:
      if (getConfigInt(kKeyApplicationType) == kAppTypeAutoStartService) {
        install.startType = kAutoStart;
        install.delayedStart = settings.delayedStart;
      }
      break;
  }
  return installService(install, settings);
}

int runVerb(const VerbRequest& request, const std::string& name) {
  switch (request.verb) {
    case Verb::Install:
    case Verb::InstallAuto:
    case Verb::InstallDemand:
    case Verb::InstallDelayed: return install(request, name);
    case Verb::Uninstall: return uninstallService(name, /*verbose=*/true);
    case Verb::Stop: return stopService(name, /*verbose=*/true);
    case Verb::Start: return startService(name, startWatch(name));
    case Verb::Restart: return restartService(name, startWatch(name));
    case Verb::Status: return queryServiceStatus(name, serviceLogPlacesFor(name));
    default: break;
  }
  return 1;
}

bool isServiceVerb(Verb verb) {
  return verb != Verb::None && verb != Verb::Unknown && verb != Verb::Help && verb != Verb::Run;
}

int showUsage(const ArgumentVector& arguments, const std::string& name) {
  std::string program = arguments.empty() ? std::string("runvo.exe") : toNarrow(asWin(arguments.front()));
  program = program.substr(program.find_last_of("\\/") + 1);
  std::fputs(usageText(program, utf8InAnsi(name), serviceLogPlacesFor(name).configured).c_str(), stderr);
  std::fflush(stderr);
  return kUsageExitCode;
}

int runServiceHost(const std::string& name, ArgumentVector hostArguments) {
  prepareServiceHost({std::move(hostArguments), launcherDirectory(), readServiceLogSettings(configTable()),
                      serviceSettings(), endHostProcess});
  std::wstring tableName = fromUtf8(name);
  SERVICE_TABLE_ENTRYW table[] = {
      {tableName.data(), serviceMain},
      {nullptr, nullptr},
  };
  writeLog("calling StartServiceCtrlDispatcher");
  if (!StartServiceCtrlDispatcherW(table)) {
    writeLog("StartServiceCtrlDispatcher failed with error %d", static_cast<int>(GetLastError()));
  }
  writeLog("StartServiceCtrlDispatcher returned");
  return 0;
}

int runConsole(const ArgumentVector& arguments, const std::string& name) {
  auto exitCode = runInConsole(arguments.empty() ? WideView() : WideView(arguments.front()), name);
  if (!exitCode) {
    std::fprintf(stderr, "Could not run the application: %s\n", systemErrorText(exitCode.error().systemError).c_str());
    return 1;
  }
  return *exitCode;
}
}  // namespace

int runvoMain(std::string_view commandTail) {
  if (auto started = runStartup(); !started) endWithFailure(started.error());
  // The configured name is ANSI; names travel as UTF-8 from here.
  std::string name = toUtf8(toWide(cutServiceName(getConfigString(kKeyServiceName))));

  const VerbRequest request = parseVerb(commandTail);
  if (request.serviceName) name = *request.serviceName;
  if (isServiceVerb(request.verb)) return runVerb(request, name);

  const wchar_t* commandLine = GetCommandLineW();
  writeLog("command line %S", commandLine);
  ArgumentVector arguments;
  if (!trySplitProcessCommandLine(asPortable(commandLine), arguments)) {
    endWithFailure(keyedFailure(kMsgWrongParameterUsage, std::nullopt, "splitting the command line"));
  }
  if (arguments.size() > 1 && arguments.back() == kChildMarker) {
    arguments.pop_back();
    arguments.erase(arguments.begin());
    return runChild(arguments);
  }
  switch (request.verb) {
    case Verb::Run: return runConsole(arguments, name);
    case Verb::None:
      // Only the service manager starts the executable without a verb; the
      // dispatcher's own failure (1063) remains for what this cannot tell.
      if (startedByServiceManager()) return runServiceHost(name, std::move(arguments));
      return showUsage(arguments, name);
    default: return showUsage(arguments, name);
  }
}

}  // namespace runvo
