#include "launcher/child_run.h"

#include <cstdlib>

#include "diag/console_events.h"
#include "diag/log.h"
#include "jvm/jvm_loader.h"
#include "launch/java_vm_launcher.h"
#include "launch/native_path.h"
#include "launcher/process_exit.h"
#include "payload/config.h"
#include "payload/extraction.h"
#include "payload/extraction_names.h"
#include "payload/temp_dirs.h"
#include "service/child_process.h"
#include "payload/environment.h"
#include "util/paths.h"
#include "util/win.h"

namespace runvo {

namespace {
// The host's event, set once the application's main is being called; empty
// when no host started this run.
UniqueHandle& readyEvent() {
  static UniqueHandle event;
  return event;
}

void tellHostMainIsCalled() {
  if (readyEvent()) SetEvent(readyEvent().get());
  readyEvent().reset();
}

template <typename T>
T valueOrEnd(Outcome<T> outcome) {
  if (!outcome) endWithFailure(outcome.error());
  return std::move(*outcome);
}

// What the VM is told about this process, as it stands once the runtime is loaded.
ProcessValues processValues(const LaunchSettings& settings, const LauncherValues& launcher,
                            ExtractedFiles& extracted) {
  ProcessValues values{
      .modulePath = modulePath(),
      .launcher = launcher,
      .unextractedPosition = extracted.unextractedPosition,
      .extractedPaths = std::move(extracted.created),
  };
  if (settings.processCommFile) values.processCommFile = valueOrEnd(processCommFileName(GetCurrentProcessId()));
  values.libraryPath = wholePathVariable();
  values.consoleCodePage = GetConsoleOutputCP();
  values.manpathSet = std::getenv("MANPATH") != nullptr;
  return values;
}
}  // namespace

int runChild(const ArgumentVector& applicationArguments) {
  readyEvent() = takeReadyEvent();
  const JvmSettings jvmSettings = readJvmSettings(configTable());
  const LaunchSettings launchSettings = readLaunchSettings(configTable());

  const std::string ownerId = executableOwnerId(modulePath());
  removeStaleExtractionDirectories(ownerId);
  ExtractedFiles extracted = valueOrEnd(extractFiles(ownerId));
  LauncherValues launcher{absoluteAgainstLauncher(""), extracted.directory, {}};
  setNativeLibraryPath(launchSettings, launcher);
  registerConsoleEventLogger();
  const LoadedJvm jvm = valueOrEnd(loadJvm(jvmSettings, launcher));
  launcher.jvmHome = jvm.home;

  writeLog("launching program");
  const ProcessValues values = processValues(launchSettings, launcher, extracted);
  valueOrEnd(launchJavaApplication(launchSettings, values, jvm, applicationArguments, tellHostMainIsCalled));
  // Whatever the VM still holds stays for the host, or the next run, to remove.
  if (!extracted.directory.empty()) {
    extracted.ownerLock.reset();
    removeDirectoryTree(extracted.directory);
  }
  return 0;
}

}  // namespace runvo
