// The child run's decisions as pure functions of its settings and values:
// the settings records read from the table, the launcher's properties and
// the argument array of the runtime launcher class.
#include <gtest/gtest.h>

#include "jvm/jvm_settings.h"
#include "launch/launch_rules.h"
#include "launch/launch_settings.h"
#include "payload/config_keys.h"

namespace runvo {
namespace {

TEST(LaunchSettings, TheFlavourIsTheFirstLetterOfItsKey) {
  for (const auto& [text, letter] : {std::pair{"installer", 'i'}, {"r", 'r'}, {"", '\0'}}) {
    ConfigTable table;
    table.setNarrow(kKeyFlavour, text);
    const LaunchSettings settings = readLaunchSettings(table);
    EXPECT_EQ(settings.flavour, letter) << text;
    EXPECT_EQ(settings.installerFlavour(), letter == 'i') << text;
  }
}

TEST(LaunchSettings, FlagsAndRedirectionsComeFromTheirKeys) {
  ConfigTable table;
  table.setNarrow(kKeyApplicationType, "1");
  table.setNarrow(kKeyRedirectStderr, "1");
  table.setNarrow(kKeyStderrFile, "err.log");
  table.setNarrow(kKeyStdoutFile, "out.log");  // not redirected: the flag is off
  table.setNarrow(kKeyJOptionsToVm, "2");
  const LaunchSettings settings = readLaunchSettings(table);
  EXPECT_TRUE(settings.windowed);
  EXPECT_TRUE(settings.standardError.enabled);
  EXPECT_EQ(settings.standardError.file, "err.log");
  EXPECT_FALSE(settings.standardOutput.enabled);
  EXPECT_TRUE(settings.jOptionsToVm);
  EXPECT_FALSE(settings.appendOutput);
  EXPECT_FALSE(settings.outputRolling.rollBytes) << "left out: no rolling";
  EXPECT_FALSE(settings.outputRolling.daily);
  EXPECT_FALSE(settings.outputRolling.keptFiles);
  EXPECT_FALSE(settings.outputRolling.keptDays);
}

TEST(JvmSettings, BoundsRulesAndTheVariantCutToItsBuffer) {
  ConfigTable table;
  table.setNarrow(kKeyMinVersion, "17");
  table.setNarrow(kKeyMaxVersion, "21.0.2");
  table.setNarrow(kKeyAllowPrerelease, "1");
  table.setNarrow(kKeyApplicationType, "4");
  table.setNarrow(kKeyJvmVariant, std::string(300, 'v'));
  const JvmSettings settings = readJvmSettings(table);
  EXPECT_EQ(settings.bounds.min, "17");
  EXPECT_EQ(settings.bounds.max, "21.0.2");
  EXPECT_TRUE(settings.allowPrerelease);
  EXPECT_FALSE(settings.requireJdk);
  EXPECT_FALSE(settings.windowed);
  EXPECT_EQ(settings.variant.size(), 199u);
}

ProcessValues sampleValues() {
  return {
      .modulePath = "C:\\app\\svc.exe",
      .launcher = {"C:\\app\\", "C:\\tmp\\rvx1.tmp_dir", "C:\\jdk\\bin\\.."},
      .unextractedPosition = 4096,
      .processCommFile = "C:\\tmp\\rvx_p12.tmp",
      .libraryPath = "C:\\app\\native;C:\\windows",
      .consoleCodePage = 850,
  };
}

TEST(PropertyOptions, FixedOrderWithTheOptionalOnes) {
  struct Case {
    const char* label;
    char flavour;
    bool processCommFile;
    bool manpathSet;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"plain", '\0', false, false,
       {"-Drunvo.isService=true", "-Drunvo.moduleName=C:\\app\\svc.exe", "-Drunvo.tempDir=C:\\tmp\\rvx1.tmp_dir",
        "-Drunvo.unextractedPosition=4096", "-Djava.library.path=C:\\app\\native;C:\\windows",
        "-Drunvo.consoleCodepage=cp850"}},
      {"installer, comm file, MANPATH set", 'i', true, true,
       {"-Drunvo.isKestrelix=true", "-Drunvo.isService=true", "-Drunvo.moduleName=C:\\app\\svc.exe",
        "-Drunvo.processCommFile=C:\\tmp\\rvx_p12.tmp", "-Drunvo.tempDir=C:\\tmp\\rvx1.tmp_dir",
        "-Drunvo.unextractedPosition=4096", "-Djava.library.path=C:\\app\\native;C:\\windows"}},
  };
  for (const Case& c : cases) {
    LaunchSettings settings{.flavour = c.flavour, .processCommFile = c.processCommFile};
    ProcessValues values = sampleValues();
    values.manpathSet = c.manpathSet;
    EXPECT_EQ(propertyOptions(settings, values), c.expected) << c.label;
  }
}

TEST(PropertyOptions, TheOutputRollingOnlyAsConfigured) {
  struct Case {
    const char* label;
    std::vector<std::pair<std::int32_t, std::string>> entries;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"nothing configured", {}, {}},
      {"all four",
       {{kKeyOutputRollBytes, "1048576"}, {kKeyOutputRollDaily, "1"}, {kKeyOutputKeptFiles, "0"}, {kKeyOutputKeptDays, "7"}},
       {"-Drunvo.outputRollBytes=1048576", "-Drunvo.outputRollDaily=true", "-Drunvo.outputKeptFiles=0",
        "-Drunvo.outputKeptDays=7"}},
      {"daily off, only the count", {{kKeyOutputRollDaily, "0"}, {kKeyOutputKeptFiles, "3"}},
       {"-Drunvo.outputKeptFiles=3"}},
  };
  const std::vector<std::string> fixed = propertyOptions(LaunchSettings{}, sampleValues());
  for (const Case& c : cases) {
    ConfigTable table;
    for (const auto& [key, text] : c.entries) table.setNarrow(key, text);
    std::vector<std::string> expected = fixed;
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(propertyOptions(readLaunchSettings(table), sampleValues()), expected) << c.label;
  }
}

TEST(LaunchArguments, TheArrayInItsOrder) {
  struct Case {
    const char* label;
    bool windowed;
    bool append;
    bool jOptionsToVm;
    const char16_t* configured;
    ArgumentVector arguments;
    ArgumentVector expected;
  };
  const LaunchTexts base{u"app.Main", u"C:\\err.log", u"", u""};
  const Case cases[] = {
      {"no arguments at all", false, false, false, u"", {}, {u"false", u"app.Main", u"C:\\err.log", u"", u"false"}},
      {"service name, configured, then the rest", true, true, false, u"-v 'a b'", {u"Svc", u"x", u"-Jy"},
       {u"true", u"app.Main", u"C:\\err.log", u"", u"true", u"Svc", u"-v", u"a b", u"x", u"-Jy"}},
      {"-J arguments went to the VM", false, false, true, u"", {u"Svc", u"-Jy", u"z"},
       {u"false", u"app.Main", u"C:\\err.log", u"", u"false", u"Svc", u"z"}},
      {"an empty argument is kept", false, false, false, u"", {u"Svc", u""},
       {u"false", u"app.Main", u"C:\\err.log", u"", u"false", u"Svc", u""}},
  };
  for (const Case& c : cases) {
    LaunchSettings settings{.windowed = c.windowed, .jOptionsToVm = c.jOptionsToVm, .appendOutput = c.append};
    LaunchTexts texts = base;
    texts.configuredArguments = c.configured;
    const auto launch = launchArguments(settings, texts, c.arguments);
    ASSERT_TRUE(launch.ok()) << c.label;
    EXPECT_EQ(*launch, c.expected) << c.label;
  }
}

TEST(LaunchArguments, AnUnbalancedQuoteInTheConfiguredArgumentsIsWrongParameterUsage) {
  LaunchTexts texts{u"app.Main", u"", u"", u"-v \"open"};
  const auto launch = launchArguments(LaunchSettings{}, texts, {u"Svc"});
  ASSERT_FALSE(launch.ok());
  EXPECT_EQ(launch.error().messageKey, kMsgWrongParameterUsage);
  EXPECT_EQ(launch.error().ending, Failure::Ending::Message);
}

}  // namespace
}  // namespace runvo
