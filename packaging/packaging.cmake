# Installation and packages: the launcher and the stand-in daemon (two Debian packages on Linux, one
# zip on Windows), and the framework as a CMake package that other programs find with find_package(bw).
if(BW_TSAN_ONLY)
  return()
endif()

set(TARNWICK_VERSION ${PROJECT_VERSION}) # the CMake project's; the launcher's version resource says the same

include(${CMAKE_CURRENT_LIST_DIR}/programs.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/framework/framework.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/cpack.cmake)
