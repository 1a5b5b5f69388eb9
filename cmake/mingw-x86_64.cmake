# Cross build for Windows with mingw-w64 (x86_64). The posix-thread compiler
# variant is used because GoogleTest needs std::mutex; the shipped program
# uses no threads and links everything but the system DLLs statically.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Outside the test harness (cmake/WineTest.cmake), programs of this build run
# under the loader of their own word size, never through /usr/bin/wine.
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEARCH=win64 ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/bin/wine)
