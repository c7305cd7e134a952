// The Linux JVM behind the bridge reads paths as Unix paths and lists with
// ':' between entries; the Windows caller writes drive paths and ';'. These
// rules turn the caller's VM options and strings into what the JVM can use;
// the lookup of a single path is Wine's and comes in as a function.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace runvo::bridge {

// The Unix path of one absolute Windows path, or none when it has none.
using PathTranslator = std::function<std::optional<std::string>(std::string_view windowsPath)>;

// "C:\..." or "C:/...": a drive letter, a colon and a separator.
bool isAbsoluteWindowsPath(std::string_view text);

// The entries of a ';' list, each absolute one translated (or kept when it
// has no Unix path) and every '\' of the others made '/', joined with ':'.
std::string translatePathList(std::string_view list, const PathTranslator& toUnix);

// One VM option as the Linux JVM needs it: the class path, the library path
// and the appended boot class path as lists; otherwise a value after the
// first '=' (and, except for -D options, after the first ':') that is an
// absolute Windows path, or a ';' list of them. Anything else unchanged.
std::string translateOption(std::string_view option, const PathTranslator& toUnix);

// The special options whose extraInfo is a function of the caller.
enum class HookOption { None, Exit, Abort, Vfprintf };
HookOption hookOption(std::string_view option);

}  // namespace runvo::bridge
