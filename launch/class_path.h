// The one VM option that carries the class path: directives of the VM
// options, the extracted archives, the installer flavour's runtime jar and
// the configured entries. The rules are pure; what they need of the machine
// comes through ClassPathSources.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "launch/launch_settings.h"
#include "util/outcome.h"

namespace runvo {

struct ClassPathDirectives {
  std::optional<std::string> override;  // replaces the configured entries
  std::optional<std::string> prepend;
  std::optional<std::string> append;
};

class ClassPathSources {
 public:
  virtual ~ClassPathSources() = default;
  virtual bool exists(const std::string& path) const = 0;
  // The names in a directory, in listing order, "." and ".." left out; none
  // when it does not exist. One listing serves both kinds of archive.
  virtual std::optional<std::vector<std::string>> directoryNames(const std::string& directory) const = 0;
  // Relative paths taken against the launcher directory.
  virtual std::string absolute(std::string_view path) const = 0;
  // An environment variable: none when it is not defined; empty when it is
  // empty or too long for the launcher's buffer.
  virtual std::optional<std::string> variable(const std::string& name) const = 0;
  virtual std::string expanded(std::string text) const = 0;
  // The application directory as a full path, for the installer's runtime jar.
  virtual std::string applicationDirectory() const = 0;
};

// "-Djava.class.path=..." with every entry followed by ";". A required
// configured entry that is missing fails with message 1006, a required
// variable that is not defined with message 1008.
Outcome<std::string> buildClassPathOption(const ClassPathDirectives& directives, const LaunchSettings& settings,
                                          const std::string& extractionDirectory, const ClassPathSources& sources);

}  // namespace runvo
