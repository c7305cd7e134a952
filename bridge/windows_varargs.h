// Reading the arguments a Windows x64 caller passed to a variadic JNI call
// (CallIntMethod, NewObject, ...) or handed over as a va_list (the ...V
// forms). On Windows x64 a va_list is a plain pointer to 8-byte slots, one
// per argument: integers narrower than 32 bits are widened to int, float
// travels as double, everything else fills its slot. The Linux JVM takes
// the same arguments as a jvalue array (the ...A forms).
#pragma once
#include <jni.h>

#include <string_view>
#include <vector>

namespace runvo::bridge {

// One jvalue per kind letter (see parameterKinds), read from `slots`.
std::vector<jvalue> readWindowsArguments(std::string_view kinds, const char* slots);

}  // namespace runvo::bridge
