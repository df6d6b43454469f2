# GoogleTest: the host package on Linux; on Windows compiled from Debian's sources.
if(WIN32)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# Header-only libraries from Debian (nlohmann-json3-dev, libboost-dev). The cross compiler must not
# search the host's /usr/include, so the Windows build sees them through a directory of links.
set(BW_HEADER_ONLY_DIR ${CMAKE_BINARY_DIR}/header-only)
file(MAKE_DIRECTORY ${BW_HEADER_ONLY_DIR})
foreach(dir nlohmann boost)
  if(EXISTS /usr/include/${dir} AND NOT EXISTS ${BW_HEADER_ONLY_DIR}/${dir})
    file(CREATE_LINK /usr/include/${dir} ${BW_HEADER_ONLY_DIR}/${dir} SYMBOLIC)
  endif()
endforeach()
add_library(bw_header_only INTERFACE)
target_include_directories(bw_header_only SYSTEM INTERFACE ${BW_HEADER_ONLY_DIR})
