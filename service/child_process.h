// Starting the child copy of this executable that runs the application, for
// the service host and for /run: its standard input is a pipe that carries
// the stop line; its output goes to a pipe of the host's or to the console.
#pragma once
#include <cstdint>
#include <string>

#include "util/outcome.h"
#include "util/unique_handle.h"

namespace runvo {

// The environment variable that hands the child the inherited event it sets
// once the application's main is being called.
inline constexpr char kReadyEventVariable[] = "RUNVO_READY_EVENT";

struct ChildProcess {
  UniqueHandle process;
  DWORD processId = 0;
  UniqueHandle stopLineWriteEnd;
  UniqueHandle outputReadEnd;  // empty when the child writes to the console
  UniqueHandle readyEvent;     // set by the child once main is being called
  // The child and everything it starts: ended with the host, however the
  // host ends, and ended at once when a stop takes too long.
  UniqueHandle job;
};

enum class ChildOutput { Pipe, Console };

// Fails (with the system's error code) when a pipe, the event or the process
// cannot be made.
// `affinityMask`: the processors the child may run on, set before it runs; 0: all.
Outcome<ChildProcess> startChild(std::wstring commandLine, DWORD creationFlags, ChildOutput output,
                                 std::uint64_t affinityMask = 0);

// Ends the child and every process it started.
void endProcessTree(const ChildProcess& child);
// Whether no process of the child's tree is left (true without a job, where
// only the child itself was ever tracked).
bool treeHasEnded(const ChildProcess& child);

// A program of the administrator's that the host runs and waits for.
struct HelperProcess {
  UniqueHandle process;
  UniqueHandle outputReadEnd;  // its standard output and error
  // What it starts is ended with it: at a time-out, and when the host is
  // done with it (the job's last handle closes).
  UniqueHandle job;
};

// Starts `commandLine` (found as CreateProcess finds a program: in this
// executable's folder, the current one, the system's, then PATH) in
// `directory`, with this process's environment and an empty input.
Outcome<HelperProcess> startHelperProgram(std::wstring commandLine, const std::wstring& directory);
void endProcessTree(const HelperProcess& helper);

// Writes the stop line ("0") and closes the pipe, so that the child then
// reads the end of its input.
void sendStopLine(UniqueHandle& stopLineWriteEnd);

// The line on the stop channel that asks the Java side for a dump of every
// thread's stack on its standard error; it is not the stop line.
inline constexpr char kThreadDumpLine[] = "threaddump";

// Writes the thread dump request; the channel stays open for the stop line.
void sendThreadDumpRequest(const UniqueHandle& stopLineWriteEnd);

// In the child: the event the host handed over, taken out of the environment
// so that the application's own children do not see it. Empty when the
// process was not started by a host.
UniqueHandle takeReadyEvent();

}  // namespace runvo
