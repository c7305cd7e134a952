#include "diag/messages.h"

#include <atomic>
#include <cstdio>

#include "diag/log.h"
#include "diag/message_text.h"
#include "payload/config.h"
#include "util/win.h"

namespace runvo {

namespace {
std::atomic<bool> messageBoxMode{true};

std::optional<std::string> longLogPath() {
  auto path = getLogPath();
  if (!path) return path;
  char longForm[kTextCapacity];
  const DWORD length = GetLongPathNameA(path->c_str(), longForm, sizeof longForm);
  if (length > 0 && length < sizeof longForm) return std::string(longForm, length);
  return path;
}
}  // namespace

void useConsoleForMessages() { messageBoxMode = false; }

void showMessage(std::string_view text) {
  const std::string composed = withLogPath(text, longLogPath());
  if (messageBoxMode) {
    const std::string caption = getConfigString(kKeyMessageCaption);
    MessageBoxA(nullptr, composed.c_str(), caption.c_str(), MB_ICONERROR);
    return;
  }
  std::fprintf(stderr, "%s\n", composed.c_str());
  std::fflush(stderr);
}

void showMessageByKey(std::int32_t key, const std::optional<std::string>& argument) {
  showMessage(substituteFirst(getConfigString(key), argument));
}

void fatalError(std::string_view text) {
  showMessage(text);
  ExitProcess(1);
}

void fatalErrorByKey(std::int32_t key, const std::optional<std::string>& argument) {
  showMessageByKey(key, argument);
  ExitProcess(1);
}

}  // namespace runvo
