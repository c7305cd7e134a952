#include "launcher/process_exit.h"

#include <cstdio>
#include <cstdlib>

#include "diag/log.h"
#include "diag/message_text.h"
#include "diag/messages.h"
#include "payload/config.h"
#include "util/win.h"

namespace runvo {

namespace {
constexpr int kFailureExitCode = 1;

// Configured messages come from the table; one that is missing (the payload
// could not be read) shows as empty, as it always has.
std::string messageText(const Failure& failure) {
  if (failure.messageKey == 0) return failure.detail.value_or("");
  return substituteFirst(getConfigString(failure.messageKey), failure.detail);
}
}  // namespace

void endWithFailure(const Failure& failure) {
  // The lines before a failure say what went wrong; the system's own code is
  // the one thing they may lack.
  if (failure.systemError != 0) {
    writeLog("%s failed with system error %u", failure.step.c_str(), static_cast<unsigned>(failure.systemError));
  }
  switch (failure.ending) {
    case Failure::Ending::Message: showMessageAndExit(messageText(failure), failure.notes, kFailureExitCode);
    case Failure::Ending::Abort: std::abort();
    case Failure::Ending::Silent: break;
  }
  for (const std::string& note : failure.notes) std::fprintf(stderr, "%s\n", note.c_str());
  std::fflush(nullptr);
  ExitProcess(kFailureExitCode);
}

void endHostProcess(int exitCode) {
  std::fflush(nullptr);
  _exit(exitCode);
}

}  // namespace runvo
