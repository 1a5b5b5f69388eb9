# Fails unless the Windows executable EXE imports only system DLLs.
#   cmake -DOBJDUMP=<objdump> -DEXE=<file.exe> -P CheckImports.cmake
# setup.exe must start from a bare medium: the C++ runtime, libgcc and
# winpthread are linked in, never needed as DLLs beside it.

cmake_policy(VERSION 3.25)
set(allowed kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll comctl32.dll
            version.dll msvcrt.dll)

if(NOT OBJDUMP OR NOT EXE)
  message(FATAL_ERROR "usage: cmake -DOBJDUMP=... -DEXE=... -P CheckImports.cmake")
endif()
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed (${rc})")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
set(bad)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "DLL Name: *" "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  message(STATUS "imports ${dll}")
  if(NOT dll IN_LIST allowed)
    list(APPEND bad ${dll})
  endif()
endforeach()
if(NOT lines)
  message(FATAL_ERROR "${EXE}: no import table found")
endif()
if(bad)
  message(FATAL_ERROR "${EXE} imports DLLs that are not part of Windows: ${bad}")
endif()
