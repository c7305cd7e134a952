// Java reads and writes the Unix descriptors 0, 1 and 2; a Windows program
// has standard handles. Wine gives a process started without a console (a
// service's child: DETACHED_PROCESS) /dev/null as descriptors 0 and 1 and
// the standard error of whoever started services.exe, while its standard
// handles are pipes, and Wine's pipes have no Unix descriptor at all. So
// the bridge puts the standard handles behind 0, 1 and 2 before the JVM
// starts: a handle backed by a descriptor directly, a pipe through a Unix
// pipe and a relay thread. Console handles keep the inherited descriptors.
// Must be called on a thread that Wine knows.
#pragma once

namespace runvo::bridge {

void adoptStandardHandles();

// Writes out what Java wrote and the relays have not passed on yet. For
// the end of the process, also after its relay threads were stopped.
// `relaysEnded`: every other thread is gone (the process is detaching), so a
// relay that was stopped holding its lock no longer keeps the rest back.
void flushStandardStreams(bool relaysEnded = false);

}  // namespace runvo::bridge
