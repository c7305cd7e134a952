// JavaVMLauncher: creates the Java VM in this process, calls the runtime
// launcher class's main with the application's settings and arguments, and
// destroys the VM when main returns.
#pragma once
#include "jvm/jvm_loader.h"
#include "launch/launch_settings.h"
#include "util/command_line.h"
#include "util/outcome.h"

namespace runvo {

// A redirection file as the run names it: expanded, and made a full path
// unless it starts with '$' (left for the Java side to resolve); empty when
// not redirected. /install prepares its folder from the same text.
std::string redirectionFile(const OutputRedirection& redirection, const LauncherValues& values);

// Done when main ran and returned without a pending exception, or when the
// installer flavour's first-run check stopped the launch. A VM that cannot be
// created or an exception from main fails silently (the log says why);
// a missing launcher class or method fails with its message.
// `onMainCalled` runs right before main is called: the VM exists and the
// runtime launcher class was found.
Status launchJavaApplication(const LaunchSettings& settings, const ProcessValues& values, const LoadedJvm& jvm,
                             const ArgumentVector& arguments, void (*onMainCalled)());

}  // namespace runvo
