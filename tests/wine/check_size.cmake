# Fails when the shipped program is larger than its budget.
#   cmake -DEXE=setup.exe -DLIMIT=65536 -P check_size.cmake
file(SIZE ${EXE} size)
if(size GREATER LIMIT)
  message(FATAL_ERROR "${EXE} has ${size} bytes, more than ${LIMIT}")
endif()
message(STATUS "${EXE}: ${size} bytes of ${LIMIT}")
