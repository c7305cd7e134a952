// The administrator's programs around each run of the application: a
// pre-start hook that must succeed before the application starts, and a
// post-stop hook after it ended.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace runvo {

class ServiceLog;

struct Hook {
  std::string_view name;            // as the config names it: "pre_start", "post_stop"
  std::vector<std::string> words;   // the program and its arguments (UTF-8)
  std::uint32_t timeoutMs = 60000;
};

// Runs the hook in `directory` (in the file code page) with this process's environment, to its end
// or, past the time-out, ends it and everything it started. Each line it
// writes goes to the service log after its name, and so does how it ended.
// True when it ended with exit code 0; `waiting` is called about every
// second while it runs, so that the service's status can advance.
bool runHook(const Hook& hook, const std::string& directory, ServiceLog& log, const std::function<void()>& waiting);

}  // namespace runvo
