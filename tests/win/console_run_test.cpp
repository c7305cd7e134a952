// What /run does when the console says Ctrl+C or Ctrl+Break: the stop line
// goes to the application once, and its input then ends.
#include <gtest/gtest.h>

#include <string>

#include "service/console_run.h"

namespace runvo {
namespace {

std::string readAll(HANDLE pipe) {
  std::string text;
  char chunk[64];
  DWORD got = 0;
  while (ReadFile(pipe, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  return text;
}

TEST(ConsoleRun, AConsoleEventSendsTheStopLineOnce) {
  UniqueHandle readEnd, writeEnd;
  ASSERT_TRUE(CreatePipe(readEnd.put(), writeEnd.put(), nullptr, 0));
  setConsoleStopLine(std::move(writeEnd));
  EXPECT_TRUE(stopOnConsoleEvent(CTRL_BREAK_EVENT));
  EXPECT_TRUE(stopOnConsoleEvent(CTRL_C_EVENT)) << "handled, though nothing more is sent";
  EXPECT_EQ(readAll(readEnd.get()), "0\n");
}

}  // namespace
}  // namespace runvo
