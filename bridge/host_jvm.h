// The Linux JVM library that the bridge serves, loaded on first use.
#pragma once
#include <jni.h>

namespace runvo::bridge {

struct HostJvm {
  jint (*createJavaVm)(JavaVM** vm, void** env, void* args) = nullptr;
  jint (*defaultInitArgs)(void* args) = nullptr;
  jint (*createdJavaVms)(JavaVM** vms, jsize capacity, jsize* count) = nullptr;
};

// Loads libjvm.so from, in this order: the path in RUNVO_BRIDGE_LIBJVM; the
// first line of "libjvm.location" beside the jvm.dll that Wine loaded the
// bridge through; JAVA_HOME/lib/server/libjvm.so when JAVA_HOME is a Unix
// path; the Debian OpenJDK 17. None, with the reason on standard error,
// when the library cannot be loaded.
const HostJvm* hostJvm();

}  // namespace runvo::bridge
