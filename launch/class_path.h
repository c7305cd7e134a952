// The one VM option that carries the class path: directives of the VM
// options, the extracted archives, the installer flavour's runtime jar and
// the configured entries.
#pragma once
#include <string>

#include "launch/vm_options.h"

namespace runvo {

// "-Djava.class.path=..." with every entry followed by ";". Ends the process
// when a required configured entry is missing (messages 1006 and 1008).
std::string buildClassPathOption(const ClassPathDirectives& directives);

// Appends "<directory>\<name>;" for each "*.<extension>" in the directory;
// false when the directory does not exist.
bool addArchivesOfDirectory(std::string& classPath, const std::string& directory, const std::string& extension);

}  // namespace runvo
