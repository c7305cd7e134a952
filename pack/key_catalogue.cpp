#include "pack/key_catalogue.h"

#include <algorithm>
#include <array>

namespace runvo::pack {

namespace {

using K = ValueKind;

// Message defaults are the launcher's English texts.
const std::array kCatalogue = {
    NamedKey{.table = "service", .field = "name", .key = 101, .required = true},
    NamedKey{.table = "service", .field = "description", .key = 20017, .kind = K::WideText},
    NamedKey{.table = "service", .field = "dependencies", .key = 149, .kind = K::List, .separator = ','},

    NamedKey{.table = "app", .field = "main_class", .key = 122, .required = true},
    NamedKey{.table = "app", .field = "classpath", .key = 121, .kind = K::List, .separator = ';'},
    NamedKey{.table = "app", .field = "arguments", .key = 124, .kind = K::Words},
    NamedKey{.table = "app", .field = "directory", .key = 10003},
    NamedKey{.table = "app", .field = "working_directory", .key = 146},
    NamedKey{.table = "app", .field = "type", .key = 107, .kind = K::Integer},
    NamedKey{.table = "app", .field = "native_library_path", .key = 10004, .kind = K::List, .separator = ';'},
    NamedKey{.table = "app", .field = "process_comm_file", .key = 10005, .kind = K::Flag},
    NamedKey{.table = "app", .field = "j_options", .key = 125, .kind = K::Flag},

    NamedKey{.table = "output", .field = "redirect_stderr", .key = 102, .kind = K::Flag},
    NamedKey{.table = "output", .field = "stderr_file", .key = 103},
    NamedKey{.table = "output", .field = "redirect_stdout", .key = 104, .kind = K::Flag},
    NamedKey{.table = "output", .field = "stdout_file", .key = 105},
    NamedKey{.table = "output", .field = "append", .key = 106, .kind = K::Flag},

    NamedKey{.table = "jvm", .field = "options", .key = 123, .kind = K::Words},
    NamedKey{.table = "jvm", .field = "min_version", .key = 126},
    NamedKey{.table = "jvm", .field = "max_version", .key = 127},
    NamedKey{.table = "jvm", .field = "search", .key = 128, .kind = K::List, .separator = ';'},
    NamedKey{.table = "jvm", .field = "allow_prerelease", .key = 130, .kind = K::Flag},
    NamedKey{.table = "jvm", .field = "require_jdk", .key = 131, .kind = K::Flag},
    NamedKey{.table = "jvm", .field = "variant", .key = 152, .capacity = 200},
    NamedKey{.table = "jvm", .field = "installation_value", .key = 160},

    NamedKey{.table = "launcher", .field = "flavour", .key = 2001, .kind = K::Flavour, .capacity = 2},

    NamedKey{.table = "messages", .field = "caption", .key = 1000, .defaultText = "Error"},
    NamedKey{.table = "messages", .field = "jvm_not_startable", .key = 1005,
             .defaultText = "The JVM could not be started. The maximum heap size (-Xmx) might be too "
                            "large or an antivirus or firewall tool could block the execution."},
    NamedKey{.table = "messages", .field = "missing_classpath_entry", .key = 1006,
             .defaultText = "File or directory {0} not found or empty\n"},
    NamedKey{.table = "messages", .field = "wrong_parameter_usage", .key = 1007,
             .defaultText = "Wrong Parameter Usage"},
    NamedKey{.table = "messages", .field = "undefined_variable", .key = 1008,
             .defaultText = "The environment variable {0} has to be defined"},
    NamedKey{.table = "messages", .field = "internal_error", .key = 1009,
             .defaultText = "An internal error occurred (error code: {0})"},
    NamedKey{.table = "messages", .field = "main_class_missing", .key = 1010,
             .defaultText = "Couldn't load main class."},
    NamedKey{.table = "messages", .field = "main_method_missing", .key = 1011,
             .defaultText = "Main method not found."},
    NamedKey{.table = "messages", .field = "no_temp_dir", .key = 1015,
             .defaultText = "You must be at least Poweruser to run this program."},
    NamedKey{.table = "messages", .field = "no_jvm_found", .key = 1016,
             .defaultText = "No JVM could be found on your system.\nPlease define RUNVO_JAVA_HOME\n"
                            "to point to an installed {0}-bit JDK or JRE or download one."},
    NamedKey{.table = "messages", .field = "jvm_env_unusable", .key = 1019,
             .defaultText = "The {0} envionment variable does not\npoint to a working 64-bit JDK or JRE."},
    NamedKey{.table = "messages", .field = "jvm_damaged", .key = 1021,
             .defaultText = "The JVM found at {0} is damaged.\nPlease reinstall or define RUNVO_JAVA_HOME\n"
                            "to point to an installed 64-bit JDK or JRE."},

    NamedKey{.table = "files", .field = "count", .key = 2002, .kind = K::FromFiles},
    NamedKey{.table = "files", .field = "names", .key = 2003, .kind = K::FromFiles},
};

}  // namespace

std::string NamedKey::qualifiedName() const {
  std::string name(table);
  name += '.';
  name += field;
  return name;
}

std::span<const NamedKey> namedKeys() { return kCatalogue; }

const NamedKey* findNamedKey(std::string_view table, std::string_view field) {
  const auto it = std::ranges::find_if(kCatalogue, [&](const NamedKey& entry) {
    return entry.table == table && entry.field == field && entry.kind != ValueKind::FromFiles;
  });
  return it == kCatalogue.end() ? nullptr : &*it;
}

const NamedKey* findNamedKeyByNumber(std::int32_t key, bool wide) {
  const auto it = std::ranges::find_if(
      kCatalogue, [&](const NamedKey& entry) { return entry.key == key && entry.isWide() == wide; });
  return it == kCatalogue.end() ? nullptr : &*it;
}

bool isNamedTable(std::string_view table) {
  return std::ranges::any_of(kCatalogue, [&](const NamedKey& entry) {
    return entry.table == table && entry.kind != ValueKind::FromFiles;
  });
}

}  // namespace runvo::pack
