// What the user sees when something goes wrong: a message box for windowed
// applications, standard error for console applications and services. Every
// message names the log file while the log is on.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace runvo {

// Message boxes are the display until the configuration says otherwise.
void useConsoleForMessages();

void showMessage(std::string_view text);
// The configured text of `key`, its first "{0}" replaced by the argument.
void showMessageByKey(std::int32_t key, const std::optional<std::string>& argument = std::nullopt);

// Shows the message and ends the process with exit code 1.
[[noreturn]] void fatalError(std::string_view text);
[[noreturn]] void fatalErrorByKey(std::int32_t key,
                                  const std::optional<std::string>& argument = std::nullopt);

}  // namespace runvo
