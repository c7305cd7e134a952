#include "launch/launch_rules.h"

#include "payload/config_keys.h"

namespace runvo {

namespace {
std::string property(const char* name, const std::string& value) { return std::string("-D") + name + "=" + value; }

WideString flag(bool value) { return value ? u"true" : u"false"; }
}  // namespace

std::vector<std::string> propertyOptions(const LaunchSettings& settings, const ProcessValues& values) {
  std::vector<std::string> options;
  if (settings.installerFlavour()) options.push_back(property("runvo.isKestrelix", "true"));
  options.push_back(property("runvo.isService", "true"));
  options.push_back(property("runvo.moduleName", values.modulePath));
  if (settings.processCommFile) options.push_back(property("runvo.processCommFile", values.processCommFile));
  options.push_back(property("runvo.tempDir", values.launcher.extractionDirectory));
  options.push_back(property("runvo.unextractedPosition", std::to_string(values.unextractedPosition)));
  // The whole PATH, however long: the library path must not lose directories.
  options.push_back("-Djava.library.path=" + values.libraryPath);
  if (!values.manpathSet) {
    options.push_back(property("runvo.consoleCodepage", "cp" + std::to_string(values.consoleCodePage)));
  }
  // Properties rather than more elements of the argument array, whose tail
  // belongs to the application: a runtime jar that does not know them ignores them.
  const OutputRolling& rolling = settings.outputRolling;
  if (rolling.rollBytes) options.push_back(property("runvo.outputRollBytes", std::to_string(*rolling.rollBytes)));
  if (rolling.daily) options.push_back(property("runvo.outputRollDaily", "true"));
  if (rolling.keptFiles) options.push_back(property("runvo.outputKeptFiles", std::to_string(*rolling.keptFiles)));
  if (rolling.keptDays) options.push_back(property("runvo.outputKeptDays", std::to_string(*rolling.keptDays)));
  return options;
}

Outcome<ArgumentVector> splitConfiguredWords(WideView text) {
  ArgumentVector words;
  if (!trySplitCommandLine(text, words)) {
    return keyedFailure(kMsgWrongParameterUsage, std::nullopt, "splitting configured words");
  }
  return words;
}

Outcome<ArgumentVector> launchArguments(const LaunchSettings& settings, const LaunchTexts& texts,
                                        const ArgumentVector& arguments) {
  ArgumentVector launch{flag(settings.windowed), texts.mainClass, texts.standardErrorFile, texts.standardOutputFile,
                        flag(settings.appendOutput)};
  if (!arguments.empty()) launch.push_back(arguments.front());
  auto configured = splitConfiguredWords(texts.configuredArguments);
  if (!configured) return configured;
  launch.insert(launch.end(), configured->begin(), configured->end());
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (settings.jOptionsToVm && arguments[i].starts_with(u"-J")) continue;
    launch.push_back(arguments[i]);
  }
  return launch;
}

}  // namespace runvo
