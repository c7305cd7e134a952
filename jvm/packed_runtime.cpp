#include "jvm/packed_runtime.h"

#include <cstdio>

#include "diag/log.h"
#include "payload/config_keys.h"
#include "util/paths.h"
#include "util/unique_handle.h"

namespace runvo {

namespace {
// lib\jsse.jar comes last: its absence is what marks a runtime as packed.
constexpr const char* kPackedArchives[] = {
    "lib\\rt.jar",       "lib\\charsets.jar",          "lib\\plugin.jar",
    "lib\\deploy.jar",   "lib\\ext\\localedata.jar",   "lib\\jsse.jar",
};

Status runUnpack200(const std::string& home, const std::string& packFile) {
  const std::string archive = packFile.substr(0, packFile.size() - 5);
  if (!pathExists(packFile)) {
    writeLog("pack path doesn't exists");
    return done();
  }
  const std::string unpacker = home + "\\bin\\unpack200.exe";
  std::string commandLine = "-r \"" + packFile + "\" \"" + archive + "\"";
  writeLog("%s", unpacker.c_str());
  writeLog("%s", commandLine.c_str());

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(unpacker.c_str(), commandLine.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                      nullptr, nullptr, &startup, &process)) {
    const DWORD error = GetLastError();
    writeLog("could not create unpack process");
    return keyedFailure(kMsgInternalError, "20", "starting " + unpacker, error);
  }
  UniqueHandle processHandle(process.hProcess);
  UniqueHandle threadHandle(process.hThread);
  writeLog("waiting for unpack200 to finish");
  WaitForSingleObject(processHandle.get(), INFINITE);
  writeLog("unpack done");
  return done();
}
}  // namespace

Status prepareJre(const std::string& home) {
  if (!pathExists(home + "\\lib\\rt.jar.pack") || pathExists(home + "\\lib\\jsse.jar")) return done();
  writeLog("Unpacking JRE");
  std::fputs("Preparing JRE ...\n", stdout);
  std::fflush(stdout);
  for (const char* archive : kPackedArchives) {
    if (auto unpacked = runUnpack200(home, home + "\\" + archive + ".pack"); !unpacked) return unpacked;
  }
  writeLog("Unpacking JRE done");
  return done();
}

}  // namespace runvo
