#include "diag/messages.h"

#include <cstdio>
#include <mutex>

#include "diag/log.h"
#include "diag/message_text.h"
#include "util/filled_buffer.h"
#include "util/win.h"

namespace runvo {

namespace {
struct DisplayState {
  std::mutex lock;
  MessageDisplay display;
};

DisplayState& displayState() {
  static DisplayState state;
  return state;
}

MessageDisplay currentDisplay() {
  DisplayState& state = displayState();
  std::lock_guard guard(state.lock);
  return state.display;
}

std::optional<std::string> longLogPath() {
  auto path = getLogPath();
  if (!path) return path;
  std::string longForm =
      filledBuffer<char>([&](char* b, DWORD n) { return GetLongPathNameA(path->c_str(), b, n); });
  return longForm.empty() ? path : longForm;
}
}  // namespace

void setMessageDisplay(MessageDisplay display) {
  DisplayState& state = displayState();
  std::lock_guard guard(state.lock);
  state.display = std::move(display);
}

void showMessage(std::string_view text) {
  const std::string composed = withLogPath(text, longLogPath());
  const MessageDisplay display = currentDisplay();
  if (display.messageBox) {
    MessageBoxA(nullptr, composed.c_str(), display.caption.c_str(), MB_ICONERROR);
    return;
  }
  std::fprintf(stderr, "%s\n", composed.c_str());
  std::fflush(stderr);
}

void showMessageAndExit(std::string_view text, std::span<const std::string> notes, int exitCode) {
  showMessage(text);
  for (const std::string& note : notes) std::fprintf(stderr, "%s\n", note.c_str());
  std::fflush(stderr);
  ExitProcess(static_cast<UINT>(exitCode));
}

}  // namespace runvo
