// Composition of user-visible messages, apart from where they are shown.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace runvo {

// Replaces the first "{0}" by the argument; without an argument the text
// stays as it is, "{0}" included.
std::string substituteFirst(std::string_view text, const std::optional<std::string>& argument);

// The text, and when the log is on an empty line and "Log: " with its path.
std::string withLogPath(std::string_view text, const std::optional<std::string>& logPath);

}  // namespace runvo
