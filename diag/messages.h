// What the user sees when something goes wrong: a message box for windowed
// applications, standard error for console applications and services. Every
// message names the log file while the log is on.
#pragma once
#include <string>
#include <span>
#include <string_view>

namespace runvo {

struct MessageDisplay {
  bool messageBox = true;
  std::string caption;
};

// Message boxes without a caption until the launcher has read its configuration.
void setMessageDisplay(MessageDisplay display);

void showMessage(std::string_view text);

// The one way a failing launcher ends: shows the text, writes the notes that
// explain it on standard error, and ends the process.
[[noreturn]] void showMessageAndExit(std::string_view text, std::span<const std::string> notes, int exitCode);

}  // namespace runvo
