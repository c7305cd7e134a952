// Which installed Java runtime to use: the configured search sequence and the
// fixed sources around it, tried in order until one passes.
#pragma once
#include <string>

namespace runvo {

enum class JvmSourceKind { None = 0, SearchPath = 1, Directory = 2, EnvironmentVariable = 3, Registry = 4 };

struct JvmSearchResult {
  JvmSourceKind kind = JvmSourceKind::None;
  std::string javaExe;       // the accepted Java executable
  std::string locationText;  // what the failure messages quote
};

JvmSearchResult searchJvm();

}  // namespace runvo
