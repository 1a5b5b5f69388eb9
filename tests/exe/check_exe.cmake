# Static checks of the shipped program: they read the file, run nothing, and
# so need no Wine.
#   cmake -DCHECK=<check> -DEXE=setup.exe [-DOBJDUMP=<objdump>] [...] -P check_exe.cmake
# CHECK is one of
#   size       no larger than LIMIT bytes
#   imports    imports only DLLs that every Windows has, and none of the
#              functions that older systems lack and only tests use
#   gui        a Windows GUI program of the build's word size (BITS=32 or 64),
#              marked to run from the swap file when started from removable media
#   resources  carries the resources the program loads: its dialogs, the
#              about string, the icon, the version and the manifest
cmake_policy(VERSION 3.25)

if(NOT CHECK OR NOT EXE)
  message(FATAL_ERROR "usage: cmake -DCHECK=... -DEXE=... [-DOBJDUMP=...] -P check_exe.cmake")
endif()
if(NOT EXISTS ${EXE})
  message(FATAL_ERROR "${EXE} does not exist")
endif()

if(CHECK STREQUAL "size")
  file(SIZE ${EXE} size)
  if(size GREATER LIMIT)
    message(FATAL_ERROR "${EXE} has ${size} bytes, more than ${LIMIT}")
  endif()
  message(STATUS "${EXE}: ${size} bytes of ${LIMIT}")
  return()
endif()

execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed (${rc})")
endif()

if(CHECK STREQUAL "imports")
  # setup.exe must start from a bare medium: the C++ runtime, libgcc and
  # winpthread are linked in, never needed as DLLs beside it. And it runs as
  # administrator, so it imports only the known DLLs, which the system never
  # takes from the program's folder; other system libraries (comctl32,
  # version) are loaded at run time, once the search is restricted.
  set(allowed kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll msvcrt.dll)
  string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
  if(NOT lines)
    message(FATAL_ERROR "${EXE}: no import table found")
  endif()
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
  if(bad)
    message(FATAL_ERROR "${EXE} imports DLLs that are not part of Windows: ${bad}")
  endif()
  # Functions that only the tests' helpers use and that older systems lack.
  foreach(function RegDeleteTreeA)
    if(dump MATCHES "[ \t]${function}\n")
      message(FATAL_ERROR "${EXE} imports ${function}, which older systems lack")
    endif()
  endforeach()
elseif(CHECK STREQUAL "gui")
  if(BITS EQUAL 32)
    set(magic "010b\t\\(PE32\\)")
  else()
    set(magic "020b\t\\(PE32\\+\\)")
  endif()
  if(NOT dump MATCHES "\nMagic\t+${magic}")
    string(REGEX MATCH "\nMagic[^\n]*" found "${dump}")
    message(FATAL_ERROR "${EXE} is not a ${BITS}-bit program:${found}")
  endif()
  if(NOT dump MATCHES "\nSubsystem\t+00000002\t\\(Windows GUI\\)")
    string(REGEX MATCH "\nSubsystem[^\n]*" found "${dump}")
    message(FATAL_ERROR "${EXE} is not a Windows GUI program:${found}")
  endif()
  # It runs from the disks it asks the user to change: the system must copy
  # it to the swap file rather than page it in from the medium.
  if(NOT dump MATCHES "\n\tcopy to swap file if on removable media\n")
    message(FATAL_ERROR "${EXE} is not marked to run from swap on removable media")
  endif()
  message(STATUS "${EXE}: ${BITS}-bit Windows GUI program, run from swap on removable media")
elseif(CHECK STREQUAL "resources")
  # objdump lists the resource tree as type, name and language entries,
  # indented by two, four and six blanks. Kept: "type/name" for each name.
  string(FIND "${dump}" "The .rsrc Resource Directory section:" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "${EXE} has no resources")
  endif()
  string(SUBSTRING "${dump}" ${start} -1 tree)
  string(REGEX MATCHALL "\n[0-9a-f]+  +Entry: ID: 0x[0-9a-f]+" entries "${tree}")
  set(present)
  set(type)
  foreach(entry IN LISTS entries)
    string(REGEX MATCH "^\n[0-9a-f]+( +)Entry: ID: 0x([0-9a-f]+)" _ "${entry}")
    string(LENGTH "${CMAKE_MATCH_1}" indent)
    math(EXPR id "0x${CMAKE_MATCH_2}")
    if(indent EQUAL 3)
      set(type ${id})
    elseif(indent EQUAL 5)
      list(APPEND present ${type}/${id})
    endif()
  endforeach()
  # RT_DIALOG 5: the about box, the setup dialog, completion, disk and
  # message; RT_STRING 6, block 7: string 101; RT_GROUP_ICON 14: icon 128;
  # RT_VERSION 16; RT_MANIFEST 24: manifest 1.
  set(required 5/100 5/102 5/129 5/131 5/132 6/7 14/128 16/1 24/1)
  set(missing)
  foreach(resource IN LISTS required)
    if(NOT resource IN_LIST present)
      list(APPEND missing ${resource})
    endif()
  endforeach()
  if(missing)
    message(FATAL_ERROR "${EXE} lacks resources (type/id): ${missing}; it has ${present}")
  endif()
  message(STATUS "${EXE}: resources ${present}")
else()
  message(FATAL_ERROR "unknown CHECK ${CHECK}")
endif()
