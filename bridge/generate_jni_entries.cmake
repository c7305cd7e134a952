# Writes the list of JNIEnv functions of a jni.h as X-macro lines, so that
# the bridge's table of Windows entries follows the JDK it is built with:
#   RUNVO_JNI_PLAIN(Name)              called with the same arguments
#   RUNVO_JNI_VARIADIC(Name, NameA)    "..." arguments, called through NameA
#   RUNVO_JNI_VALIST(NameV, NameA)     a va_list, called through NameA
# Usage: cmake -DJNI_H=.../jni.h -DOUTPUT=.../jni_env_entries.inc -P this file
file(READ "${JNI_H}" header)
string(FIND "${header}" "struct JNINativeInterface_ {" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${JNI_H} declares no struct JNINativeInterface_")
endif()
string(SUBSTRING "${header}" ${start} -1 body)
string(FIND "${body}" "};" end)
string(SUBSTRING "${body}" 0 ${end} body)

string(REGEX MATCHALL "JNICALL \\*[A-Za-z0-9_]+\\)[ \t\r\n]*\\([^)]*\\)" entries "${body}")
set(lines "// Generated from ${JNI_H} by generate_jni_entries.cmake.\n")
set(count 0)
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^JNICALL \\*([A-Za-z0-9_]+)\\).*" "\\1" name "${entry}")
  if(entry MATCHES "\\.\\.\\.")
    string(APPEND lines "RUNVO_JNI_VARIADIC(${name}, ${name}A)\n")
  elseif(entry MATCHES "va_list")
    string(REGEX REPLACE "V$" "A" name_a "${name}")
    string(APPEND lines "RUNVO_JNI_VALIST(${name}, ${name_a})\n")
  else()
    string(APPEND lines "RUNVO_JNI_PLAIN(${name})\n")
  endif()
  math(EXPR count "${count} + 1")
endforeach()
if(count LESS 200)
  message(FATAL_ERROR "${JNI_H}: only ${count} JNIEnv functions found")
endif()
# Rewritten only when different, so that a rebuild does not recompile.
file(WRITE "${OUTPUT}.new" "${lines}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
