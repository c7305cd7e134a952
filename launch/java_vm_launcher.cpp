#include "launch/java_vm_launcher.h"

#include <cstdlib>

#include <jni.h>

#include "diag/log.h"
#include "diag/messages.h"
#include "diag/startup.h"
#include "jvm/jvm_loader.h"
#include "launch/class_path.h"
#include "launch/vm_options.h"
#include "payload/config.h"
#include "payload/extraction.h"
#include "payload/temp_dirs.h"
#include "util/environment.h"
#include "util/expand.h"
#include "util/paths.h"
#include "util/win_text.h"

namespace runvo {

namespace {
constexpr char kMainSignature[] = "([Ljava/lang/String;)V";

struct Vm {
  JavaVM* vm = nullptr;
  JNIEnv* env = nullptr;
};

Vm& vm() {
  static Vm instance;
  return instance;
}

std::string property(const char* name, const std::string& value) { return std::string("-D") + name + "=" + value; }

bool createVm(const ArgumentVector& arguments) {
  std::vector<std::string> options = propertyOptions();
  const ClassPathDirectives directives = collectVmOptions(arguments, options);
  options.push_back(buildClassPathOption(directives));

  writeLog("vmoption count %d", static_cast<int>(options.size()));
  // The VM keeps pointers into these for its whole life.
  static std::vector<std::string> kept;
  static std::vector<JavaVMOption> vmOptions;
  kept = std::move(options);
  vmOptions.clear();
  for (std::size_t i = 0; i < kept.size(); ++i) {
    writeLog("vmoption %d: %s", static_cast<int>(i), kept[i].c_str());
    vmOptions.push_back({kept[i].data(), nullptr});
  }
  JavaVMInitArgs initArgs{};
  initArgs.version = JNI_VERSION_1_2;
  initArgs.nOptions = static_cast<jint>(vmOptions.size());
  initArgs.options = vmOptions.data();
  initArgs.ignoreUnrecognized = JNI_TRUE;

  writeLog("Creating JVM");
  const auto create = createJavaVmEntry();
  Vm& v = vm();
  if (create == nullptr || create(reinterpret_cast<void**>(&v.vm), reinterpret_cast<void**>(&v.env), &initArgs) != 0) {
    writeErrorLog("could not initialize JVM");
    return false;
  }
  return true;
}

// A redirection file of the runtime launcher class: expanded, and made a full
// path unless it starts with '$' (left for the Java side to resolve).
WideString redirectionFile(std::int32_t enabledKey, std::int32_t fileKey) {
  if (getConfigInt(enabledKey) == 0) return {};
  std::string file = getConfigString(fileKey);
  expandVariablesInPlace(file);
  if (!file.starts_with('$')) file = fullPath(file, /*keepCase=*/true);
  return WideString(asPortable(toWide(file, fileCodePage())));
}

ArgumentVector launchArguments(const ArgumentVector& arguments) {
  ArgumentVector launch;
  launch.push_back(getConfigInt(kKeyApplicationType) == kAppTypeWindowed ? u"true" : u"false");
  launch.push_back(WideString(asPortable(toWide(getConfigString(kKeyMainClass), CP_ACP))));
  launch.push_back(redirectionFile(kKeyRedirectStderr, kKeyStderrFile));
  launch.push_back(redirectionFile(kKeyRedirectStdout, kKeyStdoutFile));
  launch.push_back(getConfigInt(kKeyAppendOutput) != 0 ? u"true" : u"false");
  if (!arguments.empty()) launch.push_back(arguments.front());

  std::string configured = getConfigString(kKeyArguments);
  expandVariablesInPlace(configured);
  splitCommandLine(asPortable(toWide(configured, CP_ACP)), launch);

  const bool jOptionsToVm = getConfigInt(kKeyJOptionsToVm) != 0;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (jOptionsToVm && arguments[i].starts_with(u"-J")) continue;
    launch.push_back(arguments[i]);
  }
  return launch;
}

// The installer flavour's first-run hook, when its marker exists.
bool checkFirstRun(JNIEnv* env) {
  const std::string marker =
      fullPath(getConfigString(kKeyApplicationDirectory), /*keepCase=*/true) + "\\.kestrelix\\firstrun";
  if (!pathExists(marker)) return true;
  jclass firstRun = env->FindClass("com/kestrelix/runtime/launcher/FirstRun");
  if (firstRun == nullptr) fatalErrorByKey(kMsgInternalError, "14");
  jmethodID method = env->GetStaticMethodID(firstRun, "firstRun", "()Z");
  if (method == nullptr) fatalErrorByKey(kMsgInternalError, "15");
  const jboolean goOn = env->CallStaticBooleanMethod(firstRun, method);
  if (env->ExceptionOccurred() != nullptr) {
    env->ExceptionDescribe();
    return false;
  }
  return goOn != JNI_FALSE;
}

jobjectArray javaStringArray(JNIEnv* env, const ArgumentVector& launch) {
  writeLog("param count: %d", static_cast<int>(launch.size()));
  jclass stringClass = env->FindClass("java/lang/String");
  jobjectArray array = env->NewObjectArray(static_cast<jsize>(launch.size()), stringClass, nullptr);
  if (array == nullptr) {
    writeErrorLog("paramArray could not be created");
    std::abort();
  }
  for (std::size_t i = 0; i < launch.size(); ++i) {
    writeLog("param %d: %s", static_cast<int>(i), toNarrow(asWin(launch[i])).c_str());
    // The UTF-16 text goes to Java as the process received it.
    jstring text = env->NewString(reinterpret_cast<const jchar*>(launch[i].data()), static_cast<jsize>(launch[i].size()));
    if (text == nullptr) {
      writeErrorLog("jstr could not be created");
      std::abort();
    }
    env->SetObjectArrayElement(array, static_cast<jsize>(i), text);
  }
  return array;
}

bool invokeMain(const ArgumentVector& arguments) {
  JNIEnv* env = vm().env;
  if (isInstallerFlavour() && !checkFirstRun(env)) {
    writeLog("checkFirstRun stopped further execution");
    return true;
  }
  const char* className = isInstallerFlavour() ? "com/kestrelix/runtime/launcher/WinLauncher"
                                               : "com/runvo/runtime/WinLauncher";
  writeLog("main class: %s", className);
  jclass launcherClass = env->FindClass(className);
  if (launcherClass == nullptr) {
    writeErrorLog("could not find main class");
    fatalErrorByKey(kMsgMainClassMissing);
  }
  jmethodID mainMethod = env->GetStaticMethodID(launcherClass, "main", kMainSignature);
  if (mainMethod == nullptr) {
    writeErrorLog("could not find main method");
    fatalErrorByKey(kMsgMainMethodMissing);
  }
  jobjectArray array = javaStringArray(env, launchArguments(arguments));
  writeLog("calling main");
  env->CallStaticVoidMethod(launcherClass, mainMethod, array);
  writeLog("main returned");
  if (env->ExceptionOccurred() != nullptr) {
    writeErrorLog("an exception occured");
    env->ExceptionDescribe();
    return false;
  }
  return true;
}
}  // namespace

std::vector<std::string> propertyOptions() {
  std::vector<std::string> options;
  if (isInstallerFlavour()) options.push_back(property("runvo.isKestrelix", "true"));
  options.push_back(property("runvo.isService", "true"));
  options.push_back(property("runvo.moduleName", modulePath()));
  if (getConfigInt(kKeyProcessCommFile) != 0) {
    options.push_back(property("runvo.processCommFile", processCommFileName(GetCurrentProcessId())));
  }
  options.push_back(property("runvo.tempDir", extractionDirectory()));
  options.push_back(property("runvo.unextractedPosition", std::to_string(unextractedPosition())));
  // The whole PATH, however long: the library path must not lose directories.
  options.push_back("-Djava.library.path=" + environmentVariable("PATH", 32768));
  if (std::getenv("MANPATH") == nullptr) {
    options.push_back(property("runvo.consoleCodepage", "cp" + std::to_string(GetConsoleOutputCP())));
  }
  return options;
}

bool launchJavaApplication(const ArgumentVector& arguments) {
  writeLog("launching program");
  if (!createVm(arguments)) return false;
  writeLog("JVM created");
  if (!invokeMain(arguments)) {
    writeErrorLog("could not call main");
    return false;
  }
  writeLog("dest JVM");
  vm().vm->DestroyJavaVM();
  writeLog("launch done");
  return true;
}

}  // namespace runvo
