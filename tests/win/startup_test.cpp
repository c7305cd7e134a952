// The start-up settings: the working directory.
#include <gtest/gtest.h>

#include "launcher/startup.h"
#include "payload/config_keys.h"
#include "payload/config_table.h"
#include "util/paths.h"

namespace runvo {
namespace {

std::string currentDirectory() {
  char buffer[MAX_PATH * 4];
  const DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
  return std::string(buffer, length);
}

class StartupSettings : public ::testing::Test {
 protected:
  void SetUp() override { original_ = currentDirectory(); }
  void TearDown() override { SetCurrentDirectoryA(original_.c_str()); }
  std::string original_;
};

TEST_F(StartupSettings, TheWorkingDirectoryIsTakenAgainstTheLauncherDirectory) {
  SetCurrentDirectoryA("C:\\");
  ConfigTable table;
  table.setNarrow(kKeyWorkingDirectory, "..");
  applyStartupSettings(table);
  std::string parent = launcherDirectory();
  parent.pop_back();
  parent.resize(parent.rfind('\\'));
  EXPECT_EQ(_stricmp(currentDirectory().c_str(), parent.c_str()), 0) << currentDirectory();
}

TEST_F(StartupSettings, AnEmptyOrMissingDirectoryLeavesTheCurrentOne) {
  for (const char* configured : {"", "no\\such\\directory"}) {
    SetCurrentDirectoryA("C:\\");
    ConfigTable table;
    table.setNarrow(kKeyWorkingDirectory, configured);
    applyStartupSettings(table);
    EXPECT_EQ(currentDirectory(), "C:\\") << configured;
  }
}

}  // namespace
}  // namespace runvo
