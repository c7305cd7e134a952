#include "launch/java_vm_launcher.h"


#include <jni.h>

#include "diag/log.h"
#include "launch/class_path.h"
#include "launch/launch_rules.h"
#include "launch/vm_options.h"
#include "payload/config_keys.h"
#include "payload/environment.h"
#include "payload/expand.h"
#include "payload/extraction_names.h"
#include "util/paths.h"
#include "util/unique_handle.h"
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

class MachineClassPathSources final : public ClassPathSources {
 public:
  MachineClassPathSources(const LaunchSettings& settings, const ProcessValues& values)
      : settings_(settings), values_(values.launcher), extractedPaths_(values.extractedPaths) {}

  bool exists(const std::string& path) const override { return pathExists(path); }

  std::optional<std::vector<std::string>> directoryNames(const std::string& directory) const override {
    // What this run has just extracted needs no listing (a costly one under Wine).
    const std::string& extraction = values_.extractionDirectory;
    if (!extraction.empty() && directory == extraction) return extractedFolderListing(extractedPaths_, "");
    if (!extraction.empty() && directory == extraction + "\\user") return extractedFolderListing(extractedPaths_, "user");
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    UniqueFindHandle search(FindFirstFileA((directory + "\\*").c_str(), &entry));
    // A listing that fails is an empty one where the path exists (a file, a drive's empty root).
    if (!search) return pathExists(directory) ? std::optional(names) : std::nullopt;
    do {
      const std::string_view name = entry.cFileName;
      if (name != "." && name != "..") names.emplace_back(name);
    } while (FindNextFileA(search.get(), &entry));
    return names;
  }

  std::string absolute(std::string_view path) const override { return absoluteAgainstLauncher(path); }

  std::optional<std::string> variable(const std::string& name) const override {
    std::string value = environmentVariable(name.c_str());
    if (value.empty() && GetEnvironmentVariableA(name.c_str(), nullptr, 0) == 0 &&
        GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
      return std::nullopt;
    }
    return value;
  }

  std::string expanded(std::string text) const override {
    expandVariablesInPlace(text, values_);
    return text;
  }

  std::string applicationDirectory() const override {
    return fullPath(settings_.applicationDirectory, /*keepCase=*/true);
  }

 private:
  const LaunchSettings& settings_;
  const LauncherValues& values_;
  const std::vector<std::string>& extractedPaths_;
};

Status createVm(const LaunchSettings& settings, const ProcessValues& values, const LoadedJvm& jvm,
                const ArgumentVector& arguments) {
  std::vector<std::string> options = propertyOptions(settings, values);
  auto directives = collectVmOptions(settings, values, arguments, options);
  if (!directives) return directives.takeError();
  auto classPath = buildClassPathOption(*directives, settings, values.launcher.extractionDirectory,
                                        MachineClassPathSources(settings, values));
  if (!classPath) return classPath.takeError();
  options.push_back(std::move(*classPath));

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
  Vm& v = vm();
  const long created = jvm.createJavaVm == nullptr
                           ? -1
                           : jvm.createJavaVm(reinterpret_cast<void**>(&v.vm), reinterpret_cast<void**>(&v.env),
                                              &initArgs);
  if (created != 0) {
    writeErrorLog("could not initialize JVM");
    Failure failure = silentFailure("creating the Java VM");
    // The VM has usually said why on standard error already (an unknown option).
    failure.notes.push_back("The Java VM could not be created (JNI_CreateJavaVM returned " + std::to_string(created) +
                            ").");
    return failure;
  }
  return done();
}

WideString wideRedirectionFile(const OutputRedirection& redirection, const LauncherValues& values) {
  return WideString(asPortable(toWide(redirectionFile(redirection, values), fileCodePage())));
}

LaunchTexts launchTexts(const LaunchSettings& settings, const LauncherValues& values) {
  std::string configured = settings.arguments;
  expandVariablesInPlace(configured, values);
  return {
      .mainClass = WideString(asPortable(toWide(settings.mainClass, CP_ACP))),
      .standardErrorFile = wideRedirectionFile(settings.standardError, values),
      .standardOutputFile = wideRedirectionFile(settings.standardOutput, values),
      .configuredArguments = WideString(asPortable(toWide(configured, CP_ACP))),
  };
}

// The installer flavour's first-run hook, when its marker exists.
// Whether the launch goes on.
Outcome<bool> checkFirstRun(JNIEnv* env, const LaunchSettings& settings) {
  const std::string marker =
      fullPath(settings.applicationDirectory, /*keepCase=*/true) + "\\.kestrelix\\firstrun";
  if (!pathExists(marker)) return true;
  jclass firstRun = env->FindClass("com/kestrelix/runtime/launcher/FirstRun");
  if (firstRun == nullptr) return keyedFailure(kMsgInternalError, "14", "finding the first-run class");
  jmethodID method = env->GetStaticMethodID(firstRun, "firstRun", "()Z");
  if (method == nullptr) return keyedFailure(kMsgInternalError, "15", "finding the first-run method");
  const jboolean goOn = env->CallStaticBooleanMethod(firstRun, method);
  if (env->ExceptionOccurred() != nullptr) {
    env->ExceptionDescribe();
    return false;
  }
  return goOn != JNI_FALSE;
}

Outcome<jobjectArray> javaStringArray(JNIEnv* env, const ArgumentVector& launch) {
  writeLog("param count: %d", static_cast<int>(launch.size()));
  jclass stringClass = env->FindClass("java/lang/String");
  jobjectArray array = env->NewObjectArray(static_cast<jsize>(launch.size()), stringClass, nullptr);
  if (array == nullptr) {
    writeErrorLog("paramArray could not be created");
    return abortFailure("creating the argument array");
  }
  for (std::size_t i = 0; i < launch.size(); ++i) {
    writeLog("param %d: %s", static_cast<int>(i), toNarrow(asWin(launch[i])).c_str());
    // The UTF-16 text goes to Java as the process received it.
    jstring text = env->NewString(reinterpret_cast<const jchar*>(launch[i].data()), static_cast<jsize>(launch[i].size()));
    if (text == nullptr) {
      writeErrorLog("jstr could not be created");
      return abortFailure("creating an argument string");
    }
    env->SetObjectArrayElement(array, static_cast<jsize>(i), text);
  }
  return array;
}

// Done when main returned without an exception or the first-run check
// stopped the launch; an exception from main is a silent failure.
Status invokeMain(const LaunchSettings& settings, const ProcessValues& values, const ArgumentVector& arguments,
                  void (*onMainCalled)()) {
  JNIEnv* env = vm().env;
  if (settings.installerFlavour()) {
    auto goOn = checkFirstRun(env, settings);
    if (!goOn) return goOn.takeError();
    if (!*goOn) {
      writeLog("checkFirstRun stopped further execution");
      return done();
    }
  }
  const char* className = settings.installerFlavour() ? "com/kestrelix/runtime/launcher/WinLauncher"
                                                      : "com/runvo/runtime/WinLauncher";
  writeLog("main class: %s", className);
  jclass launcherClass = env->FindClass(className);
  if (launcherClass == nullptr) {
    writeErrorLog("could not find main class");
    return keyedFailure(kMsgMainClassMissing, std::nullopt, "finding the runtime launcher class");
  }
  jmethodID mainMethod = env->GetStaticMethodID(launcherClass, "main", kMainSignature);
  if (mainMethod == nullptr) {
    writeErrorLog("could not find main method");
    return keyedFailure(kMsgMainMethodMissing, std::nullopt, "finding the runtime launcher's main");
  }
  auto launch = launchArguments(settings, launchTexts(settings, values.launcher), arguments);
  if (!launch) return launch.takeError();
  auto array = javaStringArray(env, *launch);
  if (!array) return array.takeError();
  writeLog("calling main");
  if (onMainCalled != nullptr) onMainCalled();
  env->CallStaticVoidMethod(launcherClass, mainMethod, *array);
  writeLog("main returned");
  if (env->ExceptionOccurred() != nullptr) {
    writeErrorLog("an exception occured");
    env->ExceptionDescribe();
    writeErrorLog("could not call main");
    return silentFailure("calling main");
  }
  return done();
}
}  // namespace

std::string redirectionFile(const OutputRedirection& redirection, const LauncherValues& values) {
  if (!redirection.enabled) return {};
  std::string file = redirection.file;
  expandVariablesInPlace(file, values);
  return file.starts_with('$') ? file : fullPath(file, /*keepCase=*/true);
}

Status launchJavaApplication(const LaunchSettings& settings, const ProcessValues& values, const LoadedJvm& jvm,
                             const ArgumentVector& arguments, void (*onMainCalled)()) {
  if (auto created = createVm(settings, values, jvm, arguments); !created) return created;
  writeLog("JVM created");
  if (auto called = invokeMain(settings, values, arguments, onMainCalled); !called) return called;
  writeLog("dest JVM");
  vm().vm->DestroyJavaVM();
  writeLog("launch done");
  return done();
}

}  // namespace runvo
