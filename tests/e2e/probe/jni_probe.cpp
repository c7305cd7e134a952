// Drives the jvm.dll bridge the way a Windows launcher would: loads the
// jvm.dll given on the command line, creates a VM with the class folder of
// JniProbe on its class path, and calls JniProbe through each form of the
// JNI calls (variadic, va_list, jvalue array), on the main thread and on a
// second Windows thread. One line per check, then "N passed, M failed";
// exit code 1 when a check failed.
//
// Usage: jni_probe.exe JVM_DLL CLASS_FOLDER
#include <windows.h>

#include <jni.h>

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& what, const std::string& detail = {}) {
  (ok ? passed : failed)++;
  std::printf("%s %s%s%s\n", ok ? "ok" : "FAILED", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
  std::fflush(stdout);
}

std::string text(JNIEnv* env, jobject string) {
  if (string == nullptr) return "(null)";
  const char* utf = env->GetStringUTFChars(static_cast<jstring>(string), nullptr);
  std::string result = utf != nullptr ? utf : "(no chars)";
  if (utf != nullptr) env->ReleaseStringUTFChars(static_cast<jstring>(string), utf);
  return result;
}

void checkText(JNIEnv* env, jobject string, const std::string& expected, const std::string& what) {
  const std::string actual = text(env, string);
  check(actual == expected, what, actual == expected ? std::string() : "got \"" + actual + "\", want \"" + expected + "\"");
}

// The va_list forms, reached as a Windows program reaches them.
jobject describeV(JNIEnv* env, jclass probe, jmethodID method, ...) {
  va_list arguments;
  va_start(arguments, method);
  jobject result = env->CallStaticObjectMethodV(probe, method, arguments);
  va_end(arguments);
  return result;
}

jlong sumV(JNIEnv* env, jclass probe, jmethodID method, ...) {
  va_list arguments;
  va_start(arguments, method);
  const jlong result = env->CallStaticLongMethodV(probe, method, arguments);
  va_end(arguments);
  return result;
}

void checkCallForms(JNIEnv* env, jclass probe, const char* where) {
  const std::string at = std::string(" (") + where + ")";
  jmethodID describe = env->GetStaticMethodID(
      probe, "describe", "(ZBCSIJFDLjava/lang/String;)Ljava/lang/String;");
  jmethodID sum = env->GetStaticMethodID(probe, "sum", "(IJS)J");
  jmethodID scaled = env->GetStaticMethodID(probe, "scaled", "(FD)D");
  check(describe != nullptr && sum != nullptr && scaled != nullptr, "GetStaticMethodID" + at);
  if (describe == nullptr || sum == nullptr || scaled == nullptr) return;

  const std::string expected = "true -7 x -300 -123456 9000000000 1.5 -2.25 word";
  jstring word = env->NewStringUTF("word");
  checkText(env,
            env->CallStaticObjectMethod(probe, describe, JNI_TRUE, static_cast<jbyte>(-7), static_cast<jchar>('x'),
                                        static_cast<jshort>(-300), -123456, 9000000000LL, 1.5f, -2.25, word),
            expected, "variadic call with every kind" + at);
  checkText(env,
            describeV(env, probe, describe, JNI_TRUE, static_cast<jbyte>(-7), static_cast<jchar>('x'),
                      static_cast<jshort>(-300), -123456, 9000000000LL, 1.5f, -2.25, word),
            expected, "va_list call with every kind" + at);
  jvalue values[9];
  values[0].z = JNI_TRUE;
  values[1].b = -7;
  values[2].c = 'x';
  values[3].s = -300;
  values[4].i = -123456;
  values[5].j = 9000000000LL;
  values[6].f = 1.5f;
  values[7].d = -2.25;
  values[8].l = word;
  checkText(env, env->CallStaticObjectMethodA(probe, describe, values), expected, "jvalue call with every kind" + at);

  const jlong total = env->CallStaticLongMethod(probe, sum, 40, 5000000000LL, static_cast<jshort>(2));
  check(total == 5000000042LL, "long result of a variadic call" + at, std::to_string(total));
  const jlong totalV = sumV(env, probe, sum, -1, -1LL, static_cast<jshort>(-1));
  check(totalV == -3, "long result of a va_list call" + at, std::to_string(totalV));
  const jdouble product = env->CallStaticDoubleMethod(probe, scaled, 0.5f, 3.0);
  check(product == 1.5, "double result from a float and a double" + at, std::to_string(product));
}

void checkObjects(JNIEnv* env, jclass probe) {
  jmethodID constructor = env->GetMethodID(probe, "<init>", "(Ljava/lang/String;I)V");
  jmethodID name = env->GetMethodID(probe, "name", "()Ljava/lang/String;");
  jmethodID length = env->GetMethodID(probe, "length", "(Ljava/lang/String;)I");
  jobject instance = env->NewObject(probe, constructor, env->NewStringUTF("probe"), 7);
  check(instance != nullptr, "NewObject with arguments");
  if (instance == nullptr) return;
  checkText(env, env->CallObjectMethod(instance, name), "probe7", "CallObjectMethod");
  check(env->CallIntMethod(instance, length, env->NewStringUTF("!!")) == 8, "CallIntMethod");
  check(env->CallNonvirtualIntMethod(instance, probe, length, env->NewStringUTF("")) == 6, "CallNonvirtualIntMethod");

  jmethodID isEmpty = env->GetStaticMethodID(probe, "isEmpty", "(Ljava/lang/String;)Z");
  check(env->CallStaticBooleanMethod(probe, isEmpty, env->NewStringUTF("")) == JNI_TRUE, "CallStaticBooleanMethod");
}

void checkPaths(JNIEnv* env, jclass probe, const char* classFolder) {
  jmethodID property = env->GetStaticMethodID(probe, "property", "(Ljava/lang/String;)Ljava/lang/String;");
  jmethodID echo = env->GetStaticMethodID(probe, "echo", "(Ljava/lang/String;)Ljava/lang/String;");
  // One entry: a ':' in it would split it in two for Java.
  const std::string classPath = text(env, env->CallStaticObjectMethod(probe, property, env->NewStringUTF("java.class.path")));
  check(classPath.rfind('/', 0) == 0 && classPath.find_first_of("\\:") == std::string::npos,
        "the class path as one Unix path", classPath + " for " + classFolder);

  struct Case {
    const char* sent;
    const char* arrivesAs;  // the whole string, or its end after "/drive_c"
    bool underDriveC;
  };
  const Case cases[] = {
      {"C:\\windows\\x.txt", "/windows/x.txt", true},
      {"c:/windows/system32", "/windows/system32", true},
      {"C:\\no-such-folder\\deeper\\x.log", "/no-such-folder/deeper/x.log", true},
      {"C: not a path", "C: not a path", false},
      {"relative\\file.txt", "relative\\file.txt", false},
      {"C:\\a;C:\\b", "C:\\a;C:\\b", false},
  };
  for (const Case& c : cases) {
    for (bool utf16 : {false, true}) {
      jstring sent = env->NewStringUTF(c.sent);
      if (utf16) {
        std::u16string wide(c.sent, c.sent + std::char_traits<char>::length(c.sent));
        sent = env->NewString(reinterpret_cast<const jchar*>(wide.data()), static_cast<jsize>(wide.size()));
      }
      const std::string arrived = text(env, env->CallStaticObjectMethod(probe, echo, sent));
      const std::string expected = c.underDriveC ? std::string("/drive_c") + c.arrivesAs : c.arrivesAs;
      const bool ok = c.underDriveC ? arrived.rfind('/', 0) == 0 && arrived.ends_with(expected) : arrived == expected;
      check(ok, std::string(utf16 ? "NewString " : "NewStringUTF ") + c.sent, arrived);
    }
  }
}

void checkException(JNIEnv* env, jclass probe) {
  jmethodID fail = env->GetStaticMethodID(probe, "fail", "(Ljava/lang/String;)V");
  env->CallStaticVoidMethod(probe, fail, env->NewStringUTF("thrown on purpose"));
  jthrowable thrown = env->ExceptionOccurred();
  check(thrown != nullptr, "an exception thrown in Java is pending");
  if (thrown != nullptr) env->ExceptionDescribe();
  check(env->ExceptionOccurred() == nullptr, "ExceptionDescribe clears it");
}

struct ThreadCheck {
  JavaVM* vm;
  jclass probe;
};

DWORD WINAPI secondThread(void* parameter) {
  auto* work = static_cast<ThreadCheck*>(parameter);
  JNIEnv* env = nullptr;
  const jint attached = work->vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr);
  check(attached == JNI_OK && env != nullptr, "a second Windows thread attaches");
  if (attached != JNI_OK) return 1;
  checkCallForms(env, work->probe, "second thread");
  JNIEnv* again = nullptr;
  check(work->vm->GetEnv(reinterpret_cast<void**>(&again), JNI_VERSION_1_8) == JNI_OK && again == env,
        "GetEnv gives the attached thread its env");
  check(work->vm->DetachCurrentThread() == JNI_OK, "the second thread detaches");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: jni_probe.exe JVM_DLL CLASS_FOLDER\n");
    return 2;
  }
  HMODULE jvm = LoadLibraryA(argv[1]);
  check(jvm != nullptr, std::string("LoadLibrary ") + argv[1], jvm ? "" : "error " + std::to_string(GetLastError()));
  if (jvm == nullptr) return 1;
  using CreateFn = jint(JNICALL*)(JavaVM**, void**, void*);
  auto create = reinterpret_cast<CreateFn>(reinterpret_cast<void*>(GetProcAddress(jvm, "JNI_CreateJavaVM")));
  check(create != nullptr, "JNI_CreateJavaVM exported");
  if (create == nullptr) return 1;

  std::string classPath = std::string("-Djava.class.path=") + argv[2];
  JavaVMOption options[] = {{classPath.data(), nullptr}};
  JavaVMInitArgs arguments{};
  arguments.version = JNI_VERSION_1_8;
  arguments.nOptions = 1;
  arguments.options = options;
  JavaVM* vm = nullptr;
  JNIEnv* env = nullptr;
  const jint created = create(&vm, reinterpret_cast<void**>(&env), &arguments);
  check(created == JNI_OK, "JNI_CreateJavaVM", std::to_string(created));
  if (created != JNI_OK) return 1;
  check(env->GetVersion() >= JNI_VERSION_1_8, "GetVersion");

  jclass probe = env->FindClass("JniProbe");
  check(probe != nullptr, "FindClass JniProbe");
  if (probe == nullptr) {
    env->ExceptionDescribe();
    return 1;
  }
  checkCallForms(env, probe, "main thread");
  checkObjects(env, probe);
  checkPaths(env, probe, argv[2]);
  checkException(env, probe);

  ThreadCheck work{vm, static_cast<jclass>(env->NewGlobalRef(probe))};
  HANDLE thread = CreateThread(nullptr, 0, secondThread, &work, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);

  JavaVM* found = nullptr;
  check(env->GetJavaVM(&found) == JNI_OK && found == vm, "GetJavaVM gives the same JavaVM");
  check(vm->DestroyJavaVM() == JNI_OK, "DestroyJavaVM");
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
