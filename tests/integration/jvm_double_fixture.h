// A test with a Java home of its own whose jvm.dll is the test double: its
// script decides what the "VM" does, its trace shows what reached it.
#pragma once
#include <fstream>
#include <string>

#include "java_home.h"
#include "launcher_fixture.h"
#include "log_lines.h"
#include "registry_scope.h"

namespace runvo::testing {

class JvmDoubleTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    const std::filesystem::path javaExe = makeJavaHome(dir_ / "jre", {});
    jvmDir_ = javaExe.parent_path() / "server";
    registry_.removeAtEnd(HKEY_CURRENT_USER, versionCacheKey(javaExe));
  }

  // The search entry that finds this test's Java home.
  std::string searchEntry() const { return "R" + (dir_ / "jre").string(); }
  void script(const std::string& text) { std::ofstream(jvmDir_ / "jvm.dll.script") << text; }
  Lines trace() const { return splitLines(readFile(jvmDir_ / "jvm.dll.trace")); }

  std::filesystem::path jvmDir_;
  RegistryScope registry_;
};

}  // namespace runvo::testing
