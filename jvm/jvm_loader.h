// Loads jvm.dll of the runtime that the search accepted into this process and
// keeps its JNI_CreateJavaVM entry and the runtime's home.
#pragma once
#include <optional>
#include <string>

#include "jvm/jvm_search.h"

namespace runvo {

// With `fatal`, a failure also shows the one configured message for its kind.
bool LoadDLL(bool fatal);

using CreateJavaVmFn = long(__stdcall*)(void** vm, void** env, void* args);
// Null until LoadDLL succeeded.
CreateJavaVmFn createJavaVmEntry();
// The accepted Java executable's directory followed by "..": empty until a
// runtime has been chosen.
const std::string& jvmHome();

// The message key and its argument for a failed load of a runtime found this way.
struct LoadFailureMessage {
  int key;
  std::optional<std::string> argument;
};
LoadFailureMessage loadFailureMessage(const JvmSearchResult& found);

}  // namespace runvo
