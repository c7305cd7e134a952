#include "launcher/dispatch.h"

#include <cstdlib>

#include "diag/console_events.h"
#include "diag/log.h"
#include "diag/messages.h"
#include "diag/startup.h"
#include "launcher/command_line.h"
#include "launcher/command_tail.h"
#include "jvm/jvm_loader.h"
#include "launch/java_vm_launcher.h"
#include "launch/native_path.h"
#include "launcher/service_name.h"
#include "payload/extraction.h"
#include "payload/config.h"
#include "service/service_control.h"
#include "service/host_rules.h"
#include "service/service_host.h"
#include "util/win.h"
#include "util/win_text.h"

namespace runvo {

namespace {
int runVerb(const VerbRequest& request) {
  switch (request.verb) {
    case Verb::Install:
      return installService(
          getConfigInt(kKeyApplicationType) == kAppTypeAutoStartService ? kAutoStart : kDemandStart,
          request.interactive);
    case Verb::InstallAuto: return installService(kAutoStart, request.interactive);
    case Verb::InstallDemand: return installService(kDemandStart, request.interactive);
    case Verb::Uninstall: return uninstallService(/*verbose=*/true);
    case Verb::Stop: return stopService(/*verbose=*/true);
    case Verb::Start: return startService();
    case Verb::Status: return queryServiceStatus();
    case Verb::None: break;
  }
  return 1;
}

// The process that the service host starts: it extracts the embedded files,
// finds and loads a JVM and runs the application.
int runChild(const ArgumentVector& applicationArguments) {
  if (extractFiles(/*createDirectory=*/true) != CopyResult::Done) fatalErrorByKey(kMsgInternalError, "16");
  setNativeLibraryPath();
  registerConsoleEventLogger();
  if (!LoadDLL(/*fatal=*/true)) std::exit(1);
  if (!launchJavaApplication(applicationArguments)) std::exit(1);
  return 0;
}

int runServiceHost() {
  SERVICE_TABLE_ENTRYA table[] = {
      {const_cast<char*>(serviceName().c_str()), serviceMain},
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

void splitCommandLine(WideView text, ArgumentVector& into) {
  if (!trySplitCommandLine(text, into)) fatalErrorByKey(kMsgWrongParameterUsage);
}

int runvoMain(std::string_view commandTail) {
  runStartup();
  setServiceName(getConfigString(kKeyServiceName));

  const VerbRequest request = parseVerb(commandTail);
  if (request.serviceName) setServiceName(*request.serviceName);
  if (request.verb != Verb::None) return runVerb(request);

  const wchar_t* commandLine = GetCommandLineW();
  writeLog("command line %S", commandLine);
  ArgumentVector arguments;
  splitCommandLine(asPortable(commandLine), arguments);
  if (!arguments.empty()) arguments.erase(arguments.begin());

  if (!arguments.empty() && arguments.back() == kChildMarker) {
    arguments.pop_back();
    return runChild(arguments);
  }
  return runServiceHost();
}

}  // namespace runvo
