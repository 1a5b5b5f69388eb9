# Source globbing that tolerates empty areas, so the tree configures while
# parts of it are still being written.
#
#   setup_glob_sources(<out-var> <pattern>...)
#
# Sets <out-var> to the files matching the patterns (relative to the current
# source folder, re-globbed at build time). When nothing matches, it holds one
# generated empty source instead, so add_library/add_executable still work.

function(setup_glob_sources out)
  file(GLOB found CONFIGURE_DEPENDS ${ARGN})
  if(NOT found)
    set(stub ${CMAKE_BINARY_DIR}/setup_empty.cc)
    if(NOT EXISTS ${stub})
      file(WRITE ${stub} "// Generated: stands in for an area that has no sources yet.\n"
                         "namespace setup_empty_area {}\n")
    endif()
    set(found ${stub})
  endif()
  set(${out} ${found} PARENT_SCOPE)
endfunction()
