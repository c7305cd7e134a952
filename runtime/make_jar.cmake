# Packs a folder of classes into a jar whose bytes depend only on the classes
# and the JDK: entries in sorted order (a folder listing has no fixed order)
# and one fixed timestamp for all of them.
# cmake -DJAR=jar -DCLASSES=folder -DOUTPUT=file.jar -P make_jar.cmake
foreach(variable JAR CLASSES OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "make_jar.cmake needs -D${variable}=...")
  endif()
endforeach()

file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE ${CLASSES} ${CLASSES}/*)
if(NOT entries)
  message(FATAL_ERROR "no classes in ${CLASSES}")
endif()
list(SORT entries)

# Written beside the target and renamed, so a failed run leaves no half jar.
set(partial ${OUTPUT}.partial)
file(REMOVE ${partial})
execute_process(
  COMMAND ${JAR} --create --date=2000-01-01T00:00:00Z --file ${partial} ${entries}
  WORKING_DIRECTORY ${CLASSES}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${partial})
  message(FATAL_ERROR "jar failed (${result})")
endif()
file(RENAME ${partial} ${OUTPUT})
