#include "launcher/dispatch.h"

#include "diag/log.h"
#include "launcher/child_run.h"
#include "launcher/command_tail.h"
#include "launcher/process_exit.h"
#include "launcher/startup.h"
#include "payload/config.h"
#include "service/host_rules.h"
#include "service/service_control.h"
#include "service/service_host.h"
#include "util/win.h"
#include "util/win_text.h"

namespace runvo {

namespace {
int runVerb(const VerbRequest& request, const std::string& name) {
  switch (request.verb) {
    case Verb::Install:
      return installService(
          name, getConfigInt(kKeyApplicationType) == kAppTypeAutoStartService ? kAutoStart : kDemandStart,
          request.interactive);
    case Verb::InstallAuto: return installService(name, kAutoStart, request.interactive);
    case Verb::InstallDemand: return installService(name, kDemandStart, request.interactive);
    case Verb::Uninstall: return uninstallService(name, /*verbose=*/true);
    case Verb::Stop: return stopService(name, /*verbose=*/true);
    case Verb::Start: return startService(name);
    case Verb::Status: return queryServiceStatus(name);
    case Verb::None: break;
  }
  return 1;
}

int runServiceHost(std::string name, ArgumentVector hostArguments) {
  prepareServiceHost({std::move(hostArguments), endHostProcess});
  SERVICE_TABLE_ENTRYA table[] = {
      {name.data(), serviceMain},
      {nullptr, nullptr},
  };
  writeLog("calling StartServiceCtrlDispatcher");
  if (!StartServiceCtrlDispatcherA(table)) {
    writeLog("StartServiceCtrlDispatcher failed with error %d", static_cast<int>(GetLastError()));
  }
  writeLog("StartServiceCtrlDispatcher returned");
  return 0;
}
}  // namespace

int runvoMain(std::string_view commandTail) {
  if (auto started = runStartup(); !started) endWithFailure(started.error());
  std::string name = cutServiceName(getConfigString(kKeyServiceName));

  const VerbRequest request = parseVerb(commandTail);
  if (request.serviceName) name = *request.serviceName;
  if (request.verb != Verb::None) return runVerb(request, name);

  const wchar_t* commandLine = GetCommandLineW();
  writeLog("command line %S", commandLine);
  ArgumentVector arguments;
  if (!trySplitCommandLine(asPortable(commandLine), arguments)) {
    endWithFailure(keyedFailure(kMsgWrongParameterUsage, std::nullopt, "splitting the command line"));
  }
  if (arguments.size() > 1 && arguments.back() == kChildMarker) {
    arguments.pop_back();
    arguments.erase(arguments.begin());
    return runChild(arguments);
  }
  return runServiceHost(std::move(name), std::move(arguments));
}

}  // namespace runvo
