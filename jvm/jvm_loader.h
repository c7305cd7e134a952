// Loads jvm.dll of the runtime that the search accepted into this process.
#pragma once
#include <optional>
#include <string>

#include "jvm/jvm_search.h"
#include "util/outcome.h"

namespace runvo {

using CreateJavaVmFn = long(__stdcall*)(void** vm, void** env, void* args);

struct LoadedJvm {
  CreateJavaVmFn createJavaVm = nullptr;
  // The accepted Java executable's directory followed by "..".
  std::string home;
};

// Searches, loads and resolves JNI_CreateJavaVM. A failure carries the one
// configured message for its kind.
Outcome<LoadedJvm> loadJvm(const JvmSettings& settings, const LauncherValues& values);

// The message key and its argument for a failed load of a runtime found this way.
struct LoadFailureMessage {
  int key;
  std::optional<std::string> argument;
};
LoadFailureMessage loadFailureMessage(const JvmSearchResult& found);

}  // namespace runvo
