#include "diag/message_text.h"

namespace runvo {

std::string substituteFirst(std::string_view text, const std::optional<std::string>& argument) {
  std::string result(text);
  if (!argument) return result;
  const std::size_t marker = result.find("{0}");
  if (marker != std::string::npos) result.replace(marker, 3, *argument);
  return result;
}

std::string withLogPath(std::string_view text, const std::optional<std::string>& logPath) {
  std::string result(text);
  if (logPath) result.append("\n\nLog: ").append(*logPath);
  return result;
}

}  // namespace runvo
