// The grammar shared by every source of VM options: configured options,
// "-J" arguments and VM options files.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace runvo {

enum class OptionKind {
  IncludeFile,        // "-include-options FILE"
  ClassPathOverride,  // "-classpath PATH": replaces the configured entries
  ClassPathPrepend,   // "-classpath/p PATH"
  ClassPathAppend,    // "-classpath/a PATH"
  VmOption,           // anything else, passed on as it stands
};

struct ClassifiedOption {
  OptionKind kind;
  std::string value;  // the file name, the class path or the whole option
};

ClassifiedOption classifyOption(std::string_view text);

// A line of a VM options file as an option text: line ends and the blanks
// (spaces only) around it removed; none for an empty line or a comment.
std::optional<std::string> optionFileLine(std::string_view line);

// Configured option words, with "-include-options" joined to the word after it.
std::vector<std::string> joinIncludeWords(const std::vector<std::string>& words);

}  // namespace runvo
