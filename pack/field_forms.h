// The readable forms that app.classpath and jvm.search accept beside the
// launcher's raw entries, and the shape checks of raw entries and Java
// versions. The launcher skips an entry it cannot read without a word, so a
// mistyped entry is refused here, at build time, where it can be explained.
#pragma once
#include <string>
#include <string_view>
#include "pack/toml.h"

#include "pack/expected.h"

namespace runvo::pack {

enum class EntryForms { ClassPath, JvmSearch };

// Every form an entry may take, for the messages that refuse one.
std::string_view acceptedForms(EntryForms forms);

// One entry given as a string, in the form the launcher stores it. A
// refusal says what is wrong with the entry alone; the caller names the
// field, the line and the accepted forms.
Expected<std::string> entryFromText(EntryForms forms, std::string_view text);

// One array element: a string as for entryFromText, or a table.
Expected<std::string> entryFromNode(EntryForms forms, const toml::node& element);

// Digits separated by '.' or '_', optionally followed by '-' and a suffix.
bool isJavaVersion(std::string_view text);
inline constexpr std::string_view kJavaVersionForms =
    "digits separated by '.' or '_', optionally followed by '-' and a suffix, "
    "e.g. \"17\", \"1.8.0_202\", \"21.0.2\", \"17-ea\"";

// "a string", "an integer", ...: what a TOML value is, for messages.
std::string typeName(const toml::node& node);

}  // namespace runvo::pack
