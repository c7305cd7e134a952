// Wine runs a program's main thread on a stack of its own, while
// pthread_getattr_np still describes the original Linux stack. HotSpot takes
// a thread's stack bounds from there, so its stack checks fail for that
// thread. A thread like that gets its JNI work done on a pthread of the
// bridge (8 MB stack), one call at a time, while it waits.
#pragma once
#include <functional>

namespace runvo::bridge {

// True when the calling thread's stack pointer lies outside the bounds that
// pthread_getattr_np reports for it.
bool stackIsForeignToPthread();

// Runs `task` on the bridge's Java thread, started on first use, and waits
// for it. False (and `task` not run) when that thread could not be started.
bool runOnJavaThread(const std::function<void()>& task);

}  // namespace runvo::bridge
