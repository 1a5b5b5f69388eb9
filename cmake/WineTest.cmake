# Running the tests of a Windows build under Wine (included by the top-level
# CMakeLists.txt for the i686 and x86_64 presets).
#
# Every test runs through tests/wine/run-in-prefix in a fresh prefix copied
# from this build's template prefix (<build>/wine-template, win32 for i686,
# win64 for x86_64), with WINEDEBUG=-all. What is provided:
#
# * CMAKE_CROSSCOMPILING_EMULATOR is that script, so a plain
#     add_test(NAME x COMMAND some_target args...)
#   already runs `wine some_target.exe args` in a fresh prefix.
#
# * setup_add_wine_test(NAME name COMMAND target-or-program [args...]
#                       [DISPLAY] [LOCALE locale] [TIMEOUT seconds]
#                       [WORKING_DIRECTORY dir] [ENVIRONMENT VAR=value...])
#   adds a test with the options of the harness: DISPLAY starts an Xvfb
#   display for the test (needed by anything that opens a window), LOCALE sets
#   LC_ALL (ja_JP.UTF-8 gives code page 932 and language 0x0411, C.UTF-8 gives
#   1252 and 0x0409). COMMAND may be an executable target, a .exe file, or a
#   host program/script that calls `wine` itself: it finds WINEPREFIX (and
#   SETUP_WINE_PREFIX) set to the fresh prefix, e.g.
#     setup_add_wine_test(NAME dialog_ok DISPLAY LOCALE ja_JP.UTF-8
#                         COMMAND gui_driver $<TARGET_FILE:setup> ok)
#     setup_add_wine_test(NAME registry_after_run
#                         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/registry_after_run.sh
#                                 $<TARGET_FILE:setup>)
#   Test data is best copied into the prefix by the test itself
#   ($WINEPREFIX/drive_c/...), so every test starts from the same machine.
#
# * Where the machine cannot run 32-bit programs, the harness runs nothing
#   for a win32 prefix and exits 77 with the reason: every test that goes
#   through it has SKIP_RETURN_CODE 77 and is reported as skipped.
#
# * The `wine_template` test (setup_wine_finish, called once by the top-level
#   file) makes the template before the tests that require its fixture:
#   those of setup_add_wine_test, and those of a folder that calls
#   setup_wine_require_template() after its add_test calls (that also gives
#   them the skip code). Any other test
#   makes the template itself on first use (under a lock), so nothing breaks
#   without the fixture; it only makes the first test slower.

set(SETUP_WINE_RUNNER ${PROJECT_SOURCE_DIR}/tests/wine/run-in-prefix)
set(SETUP_WINE_TEMPLATE ${CMAKE_BINARY_DIR}/wine-template)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SETUP_WINE_ARCH win64)
else()
  set(SETUP_WINE_ARCH win32)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${SETUP_WINE_RUNNER} --template ${SETUP_WINE_TEMPLATE}
                                  --arch ${SETUP_WINE_ARCH} --)

function(setup_add_wine_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "DISPLAY" "NAME;LOCALE;TIMEOUT;WORKING_DIRECTORY"
                        "COMMAND;ENVIRONMENT")
  if(NOT arg_NAME OR NOT arg_COMMAND)
    message(FATAL_ERROR "setup_add_wine_test: NAME and COMMAND are required")
  endif()
  list(POP_FRONT arg_COMMAND program)
  if(TARGET ${program})
    set(program $<TARGET_FILE:${program}>)
  endif()
  set(runner ${SETUP_WINE_RUNNER} --template ${SETUP_WINE_TEMPLATE} --arch ${SETUP_WINE_ARCH})
  if(arg_DISPLAY)
    list(APPEND runner --display)
  endif()
  set(extra)
  if(arg_WORKING_DIRECTORY)
    set(extra WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
  endif()
  add_test(NAME ${arg_NAME} COMMAND ${runner} -- ${program} ${arg_COMMAND} ${extra})
  set(env ${arg_ENVIRONMENT})
  if(arg_LOCALE)
    list(APPEND env LC_ALL=${arg_LOCALE})
  endif()
  if(env)
    set_tests_properties(${arg_NAME} PROPERTIES ENVIRONMENT "${env}")
  endif()
  if(arg_TIMEOUT)
    set_tests_properties(${arg_NAME} PROPERTIES TIMEOUT ${arg_TIMEOUT})
  endif()
  set_tests_properties(${arg_NAME} PROPERTIES FIXTURES_REQUIRED wine_template
                                             SKIP_RETURN_CODE 77)
endfunction()

# Makes every test of the calling folder wait for the template fixture and
# report the harness's 77 as skipped (tests added with setup_add_wine_test
# already do). Only for folders whose tests all run under Wine.
function(setup_wine_require_template)
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(test IN LISTS tests)
    if(NOT test STREQUAL "wine_template")
      set_tests_properties(${test} PROPERTIES SKIP_RETURN_CODE 77)
      get_test_property(${test} FIXTURES_REQUIRED required)
      if(NOT required)
        set(required)
      endif()
      if(NOT "wine_template" IN_LIST required)
        list(APPEND required wine_template)
        set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED "${required}")
      endif()
    endif()
  endforeach()
endfunction()

function(setup_wine_finish)
  add_test(NAME wine_template COMMAND ${SETUP_WINE_RUNNER} --template ${SETUP_WINE_TEMPLATE}
                                      --arch ${SETUP_WINE_ARCH} --prepare)
  set_tests_properties(wine_template PROPERTIES FIXTURES_SETUP wine_template TIMEOUT 300
                                                SKIP_RETURN_CODE 77)
endfunction()
