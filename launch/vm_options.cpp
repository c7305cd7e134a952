#include "launch/vm_options.h"

#include <cstdio>

#include "diag/log.h"
#include "launch/option_grammar.h"
#include "launch/launch_rules.h"
#include "payload/expand.h"
#include "util/paths.h"
#include "util/win_text.h"

namespace runvo {

namespace {
constexpr int kLineCapacity = 8192;

class OptionCollector {
 public:
  OptionCollector(std::vector<std::string>& options, const LauncherValues& values)
      : options_(options), values_(values) {}

  void handle(const std::string& text, int depth = 0) {
    const ClassifiedOption option = classifyOption(text);
    switch (option.kind) {
      case OptionKind::IncludeFile: include(option.value, depth); break;
      case OptionKind::ClassPathOverride: directives_.override = option.value; break;
      case OptionKind::ClassPathPrepend: directives_.prepend = option.value; break;
      case OptionKind::ClassPathAppend: directives_.append = option.value; break;
      case OptionKind::VmOption: options_.push_back(option.value); break;
    }
  }

  void readFile(FILE* file, int depth = 0) {
    if (file == nullptr) return;
    char line[kLineCapacity];
    while (std::fgets(line, sizeof line, file)) {
      auto text = optionFileLine(line);
      if (!text) continue;
      expandVariablesInPlace(*text, values_);
      handle(*text, depth);
    }
    std::fclose(file);
  }

  const ClassPathDirectives& directives() const { return directives_; }

 private:
  void include(std::string name, int depth) {
    expandVariablesInPlace(name, values_);
    if (depth >= kMaxIncludeDepth) {
      writeLog("not adding vmoptions from <%s>: included more than %d levels deep", name.c_str(), kMaxIncludeDepth);
      return;
    }
    FILE* file = std::fopen(name.c_str(), "rt");
    writeLog("adding vmoptions from <%s> (%p)", name.c_str(), static_cast<void*>(file));
    readFile(file, depth + 1);
  }

  std::vector<std::string>& options_;
  const LauncherValues& values_;
  ClassPathDirectives directives_;
};

std::string narrowArgument(const WideString& argument) { return toNarrow(asWin(argument), CP_ACP); }

FILE* openVmOptionsFile(const std::string& module) {
  std::string longPath = longPathName(module);
  if (longPath.empty()) longPath = module;
  const std::string first = longPath.substr(0, longPath.size() >= 4 ? longPath.size() - 4 : 0) + ".vmoptions";
  FILE* file = std::fopen(first.c_str(), "rt");
  writeLog("vmoptions: exe file: %s, long: %s, opts1: %s, file: %p", module.c_str(), longPath.c_str(), first.c_str(),
           static_cast<void*>(file));
  if (file != nullptr) return file;
  const std::string second = longPath + ".vmoptions";
  file = std::fopen(second.c_str(), "rt");
  writeLog("vmoptions: opts2: %s, file: %p", second.c_str(), static_cast<void*>(file));
  return file;
}
}  // namespace

Outcome<ClassPathDirectives> collectVmOptions(const LaunchSettings& settings, const ProcessValues& values,
                                              const ArgumentVector& arguments, std::vector<std::string>& options) {
  OptionCollector collector(options, values.launcher);

  std::string configured = settings.vmOptions;
  expandVariablesInPlace(configured, values.launcher);
  auto words = splitConfiguredWords(asPortable(toWide(configured, CP_ACP)));
  if (!words) return words.takeError();
  std::vector<std::string> narrowWords;
  for (const WideString& word : *words) narrowWords.push_back(narrowArgument(word));
  writeLog("adding options\n");
  for (const std::string& text : joinIncludeWords(narrowWords)) collector.handle(text);

  if (settings.jOptionsToVm) {
    for (const WideString& argument : arguments) {
      if (argument.starts_with(u"-J")) collector.handle(narrowArgument(argument.substr(2)));
    }
  }

  FILE* file = openVmOptionsFile(values.modulePath);
  writeLog("default vmoptions file: %p", static_cast<void*>(file));
  collector.readFile(file);
  return collector.directives();
}

}  // namespace runvo
