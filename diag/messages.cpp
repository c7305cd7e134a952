#include "diag/messages.h"

#include <cstdio>
#include <mutex>

#include "diag/log.h"
#include "diag/message_text.h"
#include "util/paths.h"
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
  std::string longForm = longPathName(*path);
  return longForm.empty() ? path : longForm;
}

// user32 is loaded here, not imported: at load it sets up fonts, input and
// the window station (pulling in gdi32 and imm32), which every start would
// pay for although only a failing windowed run shows a box. False when the
// box cannot be shown, so the text still goes somewhere.
bool showMessageBox(const std::string& text, const std::string& caption) {
  using MessageBoxFunction = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
  HMODULE user32 = LoadLibraryExW(L"user32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (user32 == nullptr) return false;
  const auto messageBox = reinterpret_cast<MessageBoxFunction>(
      reinterpret_cast<void*>(GetProcAddress(user32, "MessageBoxA")));
  if (messageBox == nullptr) return false;
  messageBox(nullptr, text.c_str(), caption.c_str(), MB_ICONERROR);
  return true;
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
  if (display.messageBox && showMessageBox(composed, display.caption)) return;
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
