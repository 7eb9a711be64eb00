# Installs the build into a fresh PREFIX and checks that every file of
# EXPECTED (paths relative to PREFIX) is there and not empty.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(path ${EXPECTED})
  if(NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
  file(SIZE ${PREFIX}/${path} size)
  if(size EQUAL 0)
    message(FATAL_ERROR "installed empty: ${path}")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
