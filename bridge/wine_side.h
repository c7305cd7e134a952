// What the bridge asks of Wine, behind plain types: the only part of the
// bridge that sees windows.h. Every function here must be called on a thread
// that Wine knows (a Windows caller's thread), except where noted.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#define RUNVO_MS_ABI __attribute__((ms_abi))

namespace runvo::bridge {

// The Unix path of an absolute Windows path in the ANSI code page, or of
// one in UTF-16. Folders that do not exist yet keep the names given.
std::optional<std::string> unixPathOfAnsi(std::string_view windowsPath);
std::optional<std::string> unixPathOfUtf16(std::u16string_view windowsPath);

// The first line of a file beside the jvm.dll that Wine loaded this bridge
// through (the placeholder in a Java home), if there is one.
std::optional<std::string> lineBesideModule(const char* fileName);

// Makes the process's Unix working directory the Windows one, so that the
// JVM's relative file names and "user.dir" mean what they mean to the caller.
void followWindowsCurrentDirectory();

using WindowsExitHook = void(RUNVO_MS_ABI*)(int code);
using WindowsAbortHook = void(RUNVO_MS_ABI*)();

// Starts the Windows thread that will run the JVM's exit and abort hooks,
// once. The caller's own hooks, when given, run there; otherwise the process
// ends as it would on Windows. False when the thread could not be made.
bool prepareHookThread(WindowsExitHook exitHook, WindowsAbortHook abortHook);

// For the JVM's hooks, on any thread (also one Wine does not know): hand
// the end of the process to the hook thread and wait for it.
[[noreturn]] void exitThroughHookThread(int code);
[[noreturn]] void abortThroughHookThread();

}  // namespace runvo::bridge
