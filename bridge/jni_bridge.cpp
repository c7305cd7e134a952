// The JNI side of the bridge: the three exports of a JVM library, and the
// JavaVM and JNIEnv objects handed to the Windows caller. Their function
// tables hold Microsoft x64 ABI entries that call the Linux JVM's System V
// ones; object handles, jvalue and the init arguments have the same layout
// on both sides. Calls of a thread whose stack HotSpot cannot see run on
// the bridge's Java thread (java_thread.h).
#include <jni.h>
#include <signal.h>

#include <array>
#include <cstddef>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "bridge/host_jvm.h"
#include "bridge/java_thread.h"
#include "bridge/jni_signature.h"
#include "bridge/standard_streams.h"
#include "bridge/utf16.h"
#include "bridge/vm_option_paths.h"
#include "bridge/windows_varargs.h"
#include "bridge/wine_side.h"

namespace runvo::bridge {

namespace {
constexpr std::size_t kEnvSlots = sizeof(JNINativeInterface_) / sizeof(void*);
constexpr std::size_t kVmSlots = sizeof(JNIInvokeInterface_) / sizeof(void*);

// What the Windows caller holds as a JNIEnv or a JavaVM: like every one,
// a pointer to the function table comes first.
struct WindowsEnv {
  void* const* functions;
  JNIEnv* real;
  bool onJavaThread;  // the calls go to the bridge's Java thread
};
struct WindowsVm {
  void* const* functions;
};

WindowsVm& windowsVm();

JavaVM*& realVm() {
  static JavaVM* vm = nullptr;
  return vm;
}

// ---- Windows wrappers of the Linux JNIEnvs, one per env and way of calling.

void* const* windowsEnvTable();

WindowsEnv* windowsEnvFor(JNIEnv* real, bool onJavaThread) {
  struct Wrappers {
    std::mutex lock;
    std::map<std::pair<JNIEnv*, bool>, std::unique_ptr<WindowsEnv>> byEnv;
  };
  // Never destroyed: Java threads outlive static destruction at the process's end.
  static auto* wrappers = new Wrappers;
  std::lock_guard guard(wrappers->lock);
  auto& wrapper = wrappers->byEnv[{real, onJavaThread}];
  if (!wrapper) wrapper.reset(new WindowsEnv{windowsEnvTable(), real, onJavaThread});
  return wrapper.get();
}

// Runs `call` with the Linux env, where the calling thread's JNI work is done.
template <typename Call>
auto serve(JNIEnv* callerEnv, Call&& call) {
  auto* env = reinterpret_cast<WindowsEnv*>(callerEnv);
  using Result = decltype(call(env->real));
  if (!env->onJavaThread) return call(env->real);
  if constexpr (std::is_void_v<Result>) {
    runOnJavaThread([&] { call(env->real); });
  } else {
    Result result{};
    runOnJavaThread([&] { result = call(env->real); });
    return result;
  }
}

// Runs `call` for a thread without a JNIEnv yet (the invocation interface).
template <typename Call>
void serveThread(bool onJavaThread, Call&& call) {
  if (onJavaThread) {
    runOnJavaThread(call);
  } else {
    call();
  }
}

// ---- Method ids and the parameter kinds of their methods.

class MethodKinds {
 public:
  void remember(jmethodID method, std::string kinds) {
    std::unique_lock guard(lock_);
    kinds_[method] = std::move(kinds);
  }
  std::optional<std::string> find(jmethodID method) const {
    std::shared_lock guard(lock_);
    auto found = kinds_.find(method);
    if (found == kinds_.end()) return std::nullopt;
    return found->second;
  }

 private:
  mutable std::shared_mutex lock_;
  std::map<jmethodID, std::string> kinds_;
};

MethodKinds& methodKinds() {
  static MethodKinds* kinds = new MethodKinds;
  return *kinds;
}

void throwInternalError(JNIEnv* real, const char* message) {
  std::fprintf(stderr, "jvm.dll bridge: %s\n", message);
  jclass error = real->FindClass("java/lang/InternalError");
  if (error != nullptr) real->ThrowNew(error, message);
}

// Calls a ...A function with the arguments read from Windows slots.
template <typename Result, typename CallA>
Result callWithSlots(JNIEnv* callerEnv, jmethodID method, const char* slots, CallA&& callA) {
  const std::optional<std::string> kinds = methodKinds().find(method);
  return serve(callerEnv, [&](JNIEnv* real) -> Result {
    if (!kinds) {
      // Without the signature the slots cannot be read.
      throwInternalError(real, "a method id that GetMethodID, GetStaticMethodID or FromReflectedMethod did not give");
      if constexpr (!std::is_void_v<Result>) return Result{};
      else return;
    }
    const std::vector<jvalue> values = readWindowsArguments(*kinds, slots);
    return callA(real, values.data());
  });
}

// ---- The thunks of the JNIEnv table.

template <auto Field, typename Type = decltype(Field)>
struct Plain;

template <auto Field, typename Result, typename... Arguments>
struct Plain<Field, Result (*JNINativeInterface_::*)(JNIEnv*, Arguments...)> {
  static Result RUNVO_MS_ABI call(JNIEnv* env, Arguments... arguments) {
    return serve(env, [&](JNIEnv* real) { return (real->functions->*Field)(real, arguments...); });
  }
};

// The variadic and va_list forms, for the ...A function they go through.
template <auto FieldA, typename Type = decltype(FieldA)>
struct Calls;

// Call<Type>Method, CallStatic<Type>Method and NewObject: a target, a method.
template <auto FieldA, typename Result, typename Target>
struct Calls<FieldA, Result (*JNINativeInterface_::*)(JNIEnv*, Target, jmethodID, const jvalue*)> {
  static Result RUNVO_MS_ABI withList(JNIEnv* env, Target target, jmethodID method, const char* slots) {
    return callWithSlots<Result>(env, method, slots, [&](JNIEnv* real, const jvalue* values) {
      return (real->functions->*FieldA)(real, target, method, values);
    });
  }
  static Result RUNVO_MS_ABI variadic(JNIEnv* env, Target target, jmethodID method, ...) {
    __builtin_ms_va_list slots;
    __builtin_ms_va_start(slots, method);
    if constexpr (std::is_void_v<Result>) {
      withList(env, target, method, slots);
      __builtin_ms_va_end(slots);
    } else {
      const Result result = withList(env, target, method, slots);
      __builtin_ms_va_end(slots);
      return result;
    }
  }
};

// CallNonvirtual<Type>Method: an object, its class, a method.
template <auto FieldA, typename Result>
struct Calls<FieldA, Result (*JNINativeInterface_::*)(JNIEnv*, jobject, jclass, jmethodID, const jvalue*)> {
  static Result RUNVO_MS_ABI withList(JNIEnv* env, jobject object, jclass type, jmethodID method,
                                      const char* slots) {
    return callWithSlots<Result>(env, method, slots, [&](JNIEnv* real, const jvalue* values) {
      return (real->functions->*FieldA)(real, object, type, method, values);
    });
  }
  static Result RUNVO_MS_ABI variadic(JNIEnv* env, jobject object, jclass type, jmethodID method, ...) {
    __builtin_ms_va_list slots;
    __builtin_ms_va_start(slots, method);
    if constexpr (std::is_void_v<Result>) {
      withList(env, object, type, method, slots);
      __builtin_ms_va_end(slots);
    } else {
      const Result result = withList(env, object, type, method, slots);
      __builtin_ms_va_end(slots);
      return result;
    }
  }
};

// GetMethodID and GetStaticMethodID remember what the id's arguments are.
template <auto Field>
jmethodID RUNVO_MS_ABI methodId(JNIEnv* env, jclass type, const char* name, const char* descriptor) {
  const jmethodID method =
      serve(env, [&](JNIEnv* real) { return (real->functions->*Field)(real, type, name, descriptor); });
  if (method != nullptr && descriptor != nullptr) {
    if (auto kinds = parameterKinds(descriptor)) methodKinds().remember(method, *kinds);
  }
  return method;
}

std::optional<std::string> kindsOfReflected(JNIEnv* real, jobject executable) {
  jclass executableClass = real->FindClass("java/lang/reflect/Executable");
  jclass classClass = real->FindClass("java/lang/Class");
  if (executableClass == nullptr || classClass == nullptr) return std::nullopt;
  jmethodID parameterTypes = real->GetMethodID(executableClass, "getParameterTypes", "()[Ljava/lang/Class;");
  jmethodID getName = real->GetMethodID(classClass, "getName", "()Ljava/lang/String;");
  if (parameterTypes == nullptr || getName == nullptr) return std::nullopt;
  auto types = static_cast<jobjectArray>(real->CallObjectMethod(executable, parameterTypes));
  if (types == nullptr || real->ExceptionCheck()) return std::nullopt;
  std::string kinds;
  for (jsize i = 0; i < real->GetArrayLength(types); ++i) {
    jobject type = real->GetObjectArrayElement(types, i);
    auto name = static_cast<jstring>(real->CallObjectMethod(type, getName));
    const char* text = name != nullptr ? real->GetStringUTFChars(name, nullptr) : nullptr;
    kinds.push_back(text != nullptr ? kindOfTypeName(text) : 'L');
    if (text != nullptr) real->ReleaseStringUTFChars(name, text);
    real->DeleteLocalRef(name);
    real->DeleteLocalRef(type);
  }
  real->DeleteLocalRef(types);
  return kinds;
}

jmethodID RUNVO_MS_ABI fromReflectedMethod(JNIEnv* env, jobject executable) {
  return serve(env, [&](JNIEnv* real) {
    const jmethodID method = real->FromReflectedMethod(executable);
    if (method != nullptr) {
      if (auto kinds = kindsOfReflected(real, executable)) methodKinds().remember(method, *kinds);
    }
    return method;
  });
}

jint RUNVO_MS_ABI getJavaVm(JNIEnv* env, JavaVM** vm) {
  const jint result = serve(env, [&](JNIEnv* real) { return real->GetJavaVM(vm); });
  if (result == JNI_OK) *vm = reinterpret_cast<JavaVM*>(&windowsVm());
  return result;
}

jint RUNVO_MS_ABI registerNatives(JNIEnv* env, jclass, const JNINativeMethod*, jint) {
  // The Linux JVM would call the Windows functions with its own convention.
  serve(env, [](JNIEnv* real) {
    throwInternalError(real, "RegisterNatives: Windows native methods cannot run in the Linux JVM");
  });
  return JNI_ERR;
}

// Strings that are absolute Windows paths reach Java as Unix paths: Java
// runs as a Linux program and opens files with them.
std::optional<std::u16string> unixPathString(std::u16string_view text) {
  if (!isAbsoluteWindowsPath(asciiPrefix(text, 3)) || text.find(u';') != std::u16string_view::npos) {
    return std::nullopt;
  }
  auto unixPath = unixPathOfUtf16(text);
  if (!unixPath) return std::nullopt;
  return utf8ToUtf16(*unixPath);
}

jstring RUNVO_MS_ABI newString(JNIEnv* env, const jchar* characters, jsize length) {
  std::optional<std::u16string> translated;
  if (characters != nullptr && length > 0) {
    translated = unixPathString(std::u16string_view(reinterpret_cast<const char16_t*>(characters), length));
  }
  const jchar* text = translated ? reinterpret_cast<const jchar*>(translated->data()) : characters;
  const jsize size = translated ? static_cast<jsize>(translated->size()) : length;
  return serve(env, [&](JNIEnv* real) { return real->NewString(text, size); });
}

jstring RUNVO_MS_ABI newStringUtf(JNIEnv* env, const char* utf) {
  std::optional<std::u16string> translated;
  if (utf != nullptr && isAbsoluteWindowsPath(std::string_view(utf).substr(0, 3))) {
    translated = unixPathString(utf8ToUtf16(utf));
  }
  return serve(env, [&](JNIEnv* real) {
    if (!translated) return real->NewStringUTF(utf);
    return real->NewString(reinterpret_cast<const jchar*>(translated->data()), static_cast<jsize>(translated->size()));
  });
}

void* const* windowsEnvTable() {
  static const std::array<void*, kEnvSlots> table = [] {
    std::array<void*, kEnvSlots> entries{};
#define RUNVO_SLOT(name) entries[offsetof(JNINativeInterface_, name) / sizeof(void*)]
#define RUNVO_JNI_PLAIN(name) \
  RUNVO_SLOT(name) = reinterpret_cast<void*>(&Plain<&JNINativeInterface_::name>::call);
#define RUNVO_JNI_VARIADIC(name, nameA) \
  RUNVO_SLOT(name) = reinterpret_cast<void*>(&Calls<&JNINativeInterface_::nameA>::variadic);
#define RUNVO_JNI_VALIST(name, nameA) \
  RUNVO_SLOT(name) = reinterpret_cast<void*>(&Calls<&JNINativeInterface_::nameA>::withList);
#include "jni_env_entries.inc"
    RUNVO_SLOT(GetMethodID) = reinterpret_cast<void*>(&methodId<&JNINativeInterface_::GetMethodID>);
    RUNVO_SLOT(GetStaticMethodID) = reinterpret_cast<void*>(&methodId<&JNINativeInterface_::GetStaticMethodID>);
    RUNVO_SLOT(FromReflectedMethod) = reinterpret_cast<void*>(&fromReflectedMethod);
    RUNVO_SLOT(GetJavaVM) = reinterpret_cast<void*>(&getJavaVm);
    RUNVO_SLOT(RegisterNatives) = reinterpret_cast<void*>(&registerNatives);
    RUNVO_SLOT(NewString) = reinterpret_cast<void*>(&newString);
    RUNVO_SLOT(NewStringUTF) = reinterpret_cast<void*>(&newStringUtf);
#undef RUNVO_JNI_VALIST
#undef RUNVO_JNI_VARIADIC
#undef RUNVO_JNI_PLAIN
#undef RUNVO_SLOT
    return entries;
  }();
  return table.data();
}

// ---- The JavaVM table.

bool isJniVersion(jint version) { return (version & 0xFFFF0000) <= 0x00FF0000 && version > 0; }

jint RUNVO_MS_ABI destroyJavaVm(JavaVM*) {
  jint result = JNI_ERR;
  serveThread(stackIsForeignToPthread(), [&] { result = realVm()->DestroyJavaVM(); });
  return result;
}

jint attach(void** env, void* arguments, bool daemon) {
  const bool onJavaThread = stackIsForeignToPthread();
  JNIEnv* real = nullptr;
  jint result = JNI_ERR;
  serveThread(onJavaThread, [&] {
    void** target = reinterpret_cast<void**>(&real);
    result = daemon ? realVm()->AttachCurrentThreadAsDaemon(target, arguments)
                    : realVm()->AttachCurrentThread(target, arguments);
  });
  if (result == JNI_OK) *env = windowsEnvFor(real, onJavaThread);
  return result;
}

jint RUNVO_MS_ABI attachCurrentThread(JavaVM*, void** env, void* arguments) { return attach(env, arguments, false); }
jint RUNVO_MS_ABI attachCurrentThreadAsDaemon(JavaVM*, void** env, void* arguments) {
  return attach(env, arguments, true);
}

jint RUNVO_MS_ABI detachCurrentThread(JavaVM*) {
  jint result = JNI_ERR;
  serveThread(stackIsForeignToPthread(), [&] { result = realVm()->DetachCurrentThread(); });
  return result;
}

jint RUNVO_MS_ABI getEnv(JavaVM*, void** env, jint version) {
  // A JVMTI environment has a table of its own that the bridge does not serve.
  if (!isJniVersion(version)) return JNI_EVERSION;
  const bool onJavaThread = stackIsForeignToPthread();
  JNIEnv* real = nullptr;
  jint result = JNI_ERR;
  serveThread(onJavaThread, [&] { result = realVm()->GetEnv(reinterpret_cast<void**>(&real), version); });
  *env = result == JNI_OK ? windowsEnvFor(real, onJavaThread) : nullptr;
  return result;
}

WindowsVm& windowsVm() {
  static const std::array<void*, kVmSlots> table = [] {
    std::array<void*, kVmSlots> entries{};
#define RUNVO_VM_SLOT(name) entries[offsetof(JNIInvokeInterface_, name) / sizeof(void*)]
    RUNVO_VM_SLOT(DestroyJavaVM) = reinterpret_cast<void*>(&destroyJavaVm);
    RUNVO_VM_SLOT(AttachCurrentThread) = reinterpret_cast<void*>(&attachCurrentThread);
    RUNVO_VM_SLOT(DetachCurrentThread) = reinterpret_cast<void*>(&detachCurrentThread);
    RUNVO_VM_SLOT(GetEnv) = reinterpret_cast<void*>(&getEnv);
    RUNVO_VM_SLOT(AttachCurrentThreadAsDaemon) = reinterpret_cast<void*>(&attachCurrentThreadAsDaemon);
#undef RUNVO_VM_SLOT
    return entries;
  }();
  static WindowsVm vm{table.data()};
  return vm;
}

// ---- Creating the VM.

// HotSpot takes SIGQUIT for its thread dumps, while Wine ends threads with
// it: kept by HotSpot, ending the process prints a dump of every Java thread
// and leaves the Windows threads running. Wine gets it back once the VM is up.
class WineQuitSignal {
 public:
  WineQuitSignal() { sigaction(SIGQUIT, nullptr, &wine_); }
  ~WineQuitSignal() { sigaction(SIGQUIT, &wine_, nullptr); }
  WineQuitSignal(const WineQuitSignal&) = delete;
  WineQuitSignal& operator=(const WineQuitSignal&) = delete;

 private:
  struct sigaction wine_ {};
};

void JNICALL exitHook(jint code) { exitThroughHookThread(code); }
void JNICALL abortHook() { abortThroughHookThread(); }

// The caller's init arguments as the Linux JVM needs them. The VM keeps
// pointers into the option texts, so they live as long as the process.
struct PreparedArguments {
  JavaVMInitArgs arguments{};
  WindowsExitHook exitHook = nullptr;
  WindowsAbortHook abortHook = nullptr;
};

PreparedArguments prepareArguments(const JavaVMInitArgs& caller) {
  static auto& texts = *new std::deque<std::string>;
  static auto& options = *new std::vector<JavaVMOption>;
  PreparedArguments prepared;
  options.clear();
  for (jint i = 0; i < caller.nOptions; ++i) {
    const JavaVMOption& option = caller.options[i];
    const std::string_view text = option.optionString != nullptr ? option.optionString : "";
    switch (hookOption(text)) {
      case HookOption::Exit: prepared.exitHook = reinterpret_cast<WindowsExitHook>(option.extraInfo); break;
      case HookOption::Abort: prepared.abortHook = reinterpret_cast<WindowsAbortHook>(option.extraInfo); break;
      case HookOption::Vfprintf: break;  // it would be handed a Linux FILE*
      case HookOption::None:
        texts.push_back(translateOption(text, unixPathOfAnsi));
        options.push_back({texts.back().data(), option.extraInfo});
        break;
    }
  }
  // Always: HotSpot calls them on threads that Windows code must not run on.
  options.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(&exitHook)});
  options.push_back({const_cast<char*>("abort"), reinterpret_cast<void*>(&abortHook)});
  prepared.arguments = caller;
  prepared.arguments.nOptions = static_cast<jint>(options.size());
  prepared.arguments.options = options.data();
  return prepared;
}
}  // namespace

}  // namespace runvo::bridge

using namespace runvo::bridge;

extern "C" jint RUNVO_MS_ABI bridgeCreateJavaVM(JavaVM** vm, void** env, void* arguments) {
  const HostJvm* host = hostJvm();
  if (host == nullptr || vm == nullptr || env == nullptr || arguments == nullptr) return JNI_ERR;
  PreparedArguments prepared = prepareArguments(*static_cast<JavaVMInitArgs*>(arguments));
  if (!prepareHookThread(prepared.exitHook, prepared.abortHook)) return JNI_ERR;
  followWindowsCurrentDirectory();
  adoptStandardHandles();

  const bool onJavaThread = stackIsForeignToPthread();
  JavaVM* realCreated = nullptr;
  JNIEnv* realEnv = nullptr;
  jint result = JNI_ERR;
  const auto create = [&] {
    const WineQuitSignal keep;
    result = host->createJavaVm(&realCreated, reinterpret_cast<void**>(&realEnv), &prepared.arguments);
  };
  if (onJavaThread) {
    if (!runOnJavaThread(create)) return JNI_ERR;
  } else {
    create();
  }
  if (result != JNI_OK) return result;
  realVm() = realCreated;
  *vm = reinterpret_cast<JavaVM*>(&windowsVm());
  *env = windowsEnvFor(realEnv, onJavaThread);
  return JNI_OK;
}

extern "C" jint RUNVO_MS_ABI bridgeGetDefaultJavaVMInitArgs(void* arguments) {
  const HostJvm* host = hostJvm();
  return host != nullptr ? host->defaultInitArgs(arguments) : JNI_ERR;
}

extern "C" jint RUNVO_MS_ABI bridgeGetCreatedJavaVMs(JavaVM** vms, jsize capacity, jsize* count) {
  const HostJvm* host = hostJvm();
  if (host == nullptr) return JNI_ERR;
  const jint result = host->createdJavaVms(vms, capacity, count);
  if (result == JNI_OK && vms != nullptr && count != nullptr) {
    for (jsize i = 0; i < *count && i < capacity; ++i) vms[i] = reinterpret_cast<JavaVM*>(&windowsVm());
  }
  return result;
}
