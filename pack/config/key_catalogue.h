// The readable names of the configuration keys: one table that both the
// config loader and the inspector use, so a name always means the same key.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "payload/config_table.h"

namespace runvo::pack {

enum class ValueKind {
  Text,         // TOML string, narrow table
  WideText,     // TOML string, wide table (UTF-16)
  Flag,         // TOML boolean, written "1" or "0"
  Integer,      // TOML integer, written in decimal
  List,         // string, or array of strings joined by `separator`
  Words,        // string, or array of words quoted for the launcher's splitter
  ClassPath,    // a List of class-path entries, raw or readable (pack/config/field_forms.h)
  JvmSearch,    // a List of JVM search entries, raw or readable (pack/config/field_forms.h)
  JavaVersion,  // TOML string shaped like a Java version
  Flavour,      // "runvo" (key left out) or "installer" ("i")
  Restart,      // "never", "on-failure" or "always", as the service host reads it
  ReadyCheck,   // "tcp:PORT", "http:URL" or "log:TEXT", as the service host reads it
  AliveCheck,   // "tcp:PORT" or "http:URL", as the service host reads it
  Processors,   // TOML array of processor numbers, written "0,1"
  FromFiles,    // derived from [[files]]; not a field of its own
};

struct NamedKey {
  std::string_view table;
  std::string_view field;
  std::int32_t key = 0;
  ValueKind kind = ValueKind::Text;
  char separator = '\0';
  // The launcher reads the key into a buffer of this many units, terminator
  // included; a longer text would be cut at run time, so the builder refuses it.
  std::size_t capacity = kTextCapacity;
  // Written when the config leaves the field out (and no raw entry sets the key).
  std::string_view defaultText = {};
  // The smallest value an Integer field takes; the launcher would silently
  // take its default for a smaller one, so the builder refuses it.
  std::optional<std::int32_t> atLeast = {};
  bool required = false;
  // The text is read as lines (a message shown on several lines, a list of
  // lines): a line feed in it is meant. Every other control character, in
  // every field, is a slip and refused.
  bool takesLineBreaks = false;

  bool isWide() const { return kind == ValueKind::WideText; }
  std::string qualifiedName() const;
};

std::span<const NamedKey> namedKeys();

const NamedKey* findNamedKey(std::string_view table, std::string_view field);
// The entry for a key of the narrow or the wide table, or nullptr.
const NamedKey* findNamedKeyByNumber(std::int32_t key, bool wide);
bool isNamedTable(std::string_view table);

}  // namespace runvo::pack
