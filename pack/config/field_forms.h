// The readable forms that app.classpath and jvm.search accept beside the
// launcher's raw entries, and the shape checks of raw entries, Java versions
// and class names. The launcher skips an entry it cannot read without a
// word, so a mistyped entry is refused here, at build time, where it can be
// explained.
#pragma once
#include <string>
#include <string_view>
#include "pack/config/toml.h"

#include "pack/common/expected.h"

namespace runvo::pack {

enum class EntryForms { ClassPath, JvmSearch };

// Every form an entry may take, for the messages that refuse one.
std::string_view acceptedForms(EntryForms forms);

// One entry given as a string, in the form the launcher stores it. A
// refusal says what is wrong with the entry alone; the caller names the
// field, the line and the accepted forms, and has refused control
// characters already, as in every other field.
Expected<std::string> entryFromText(EntryForms forms, std::string_view text);

// One array element: a string as for entryFromText, or a table.
Expected<std::string> entryFromNode(EntryForms forms, const toml::node& element);

// Digits separated by '.' or '_', optionally followed by '-' and a suffix.
bool isJavaVersion(std::string_view text);
inline constexpr std::string_view kJavaVersionForms =
    "digits separated by '.' or '_', optionally followed by '-' and a suffix, "
    "e.g. \"17\", \"1.8.0_202\", \"21.0.2\", \"17-ea\"";

// A name of the class whose main method runs. The runtime loads it with
// Class.forName, which takes a binary name: parts joined by '.', a nested
// class after '$'. No class name holds '/', ';' or '[', nor an empty part;
// a space, a control character or a file ending is a slip (an argument
// typed into the name, the class file named). A refusal quotes the text and
// says why; the caller names the field or option.
Status checkClassName(std::string_view text);

// "a string", "an integer", ...: what a TOML value is, for messages.
std::string typeName(const toml::node& node);

}  // namespace runvo::pack
