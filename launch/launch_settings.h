// What the child run needs to start the application, apart from where it
// comes from: the configuration's settings, read once from the table, and the
// values the run itself found out (paths, the chosen runtime, the environment).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "payload/config_table.h"
#include "payload/expansion.h"

namespace runvo {

struct OutputRedirection {
  bool enabled = false;
  std::string file;  // unexpanded
};

// How the Java side rolls the redirection files over; what is left out
// stays the Java side's default (no rolling at all when nothing is set).
struct OutputRolling {
  std::optional<int> rollBytes;
  bool daily = false;
  std::optional<int> keptFiles;
  std::optional<int> keptDays;
};

struct LaunchSettings {
  char flavour = '\0';  // the first letter of the flavour key; 'i' is the installer
  bool windowed = false;
  std::string mainClass;
  std::string vmOptions;
  std::string arguments;
  bool jOptionsToVm = false;  // "-J" arguments are VM options, not application arguments
  std::string classPath;
  std::string applicationDirectory;
  std::string nativeLibraryPath;
  bool processCommFile = false;
  OutputRedirection standardError;
  OutputRedirection standardOutput;
  bool appendOutput = false;
  OutputRolling outputRolling;

  bool installerFlavour() const { return flavour == 'i'; }
};

LaunchSettings readLaunchSettings(const ConfigTable& table);

struct ProcessValues {
  std::string modulePath;
  // The launcher directory, the extraction directory and the runtime's home.
  LauncherValues launcher;
  std::uint32_t unextractedPosition = 0;
  // Every folder and file the extraction created, relative to its directory.
  std::vector<std::string> extractedPaths;
  // Empty unless the configuration asks for a process communication file.
  std::string processCommFile;
  std::string libraryPath;  // PATH as the VM is created
  unsigned consoleCodePage = 0;
  bool manpathSet = false;
};

}  // namespace runvo
