# The framework as an installed CMake package (component "framework"): the lower layer's C headers
# in include/bw, the upper layer's headers in include/bw-framework with their paths kept, the three
# static libraries, and bwConfig.cmake with the exported targets bw::framework_c, bw::framework and
# bw::framework_engine. Programs link bw::bw, which links the three as one group.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(bw_install_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/bw)
set(bw_install_framework_headers ${CMAKE_INSTALL_INCLUDEDIR}/bw-framework)

# The targets name their source directories for their users; installed, users get the installed
# headers instead.
function(bw_install_interface_directories target install_dir)
  get_target_property(directories ${target} INTERFACE_INCLUDE_DIRECTORIES)
  set(wrapped)
  foreach(directory IN LISTS directories)
    list(APPEND wrapped "$<BUILD_INTERFACE:${directory}>")
  endforeach()
  list(APPEND wrapped "$<INSTALL_INTERFACE:${install_dir}>")
  set_property(TARGET ${target} PROPERTY INTERFACE_INCLUDE_DIRECTORIES "${wrapped}")
endfunction()
bw_install_interface_directories(bw_framework_c ${CMAKE_INSTALL_INCLUDEDIR})
bw_install_interface_directories(bw_framework ${bw_install_framework_headers})

# bw_header_only is this build's view of the Boost headers; the installed package finds them itself.
get_target_property(bw_framework_links bw_framework INTERFACE_LINK_LIBRARIES)
list(TRANSFORM bw_framework_links REPLACE "^bw_header_only$" "$<BUILD_INTERFACE:bw_header_only>")
set_property(TARGET bw_framework PROPERTY INTERFACE_LINK_LIBRARIES "${bw_framework_links}")

set_target_properties(bw_framework_c PROPERTIES EXPORT_NAME framework_c)
set_target_properties(bw_framework PROPERTIES EXPORT_NAME framework)
set_target_properties(bw_framework_engine PROPERTIES EXPORT_NAME framework_engine)

install(TARGETS bw_framework_c bw_framework bw_framework_engine EXPORT bwTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT framework)
install(EXPORT bwTargets NAMESPACE bw:: DESTINATION ${bw_install_cmake_dir} COMPONENT framework)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/framework-c/include/bw DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT framework
        FILES_MATCHING PATTERN "*.h")
# The upper layer's headers keep their paths; the other platform's engine binding is of no use here.
if(BW_PLATFORM STREQUAL "win32")
  set(bw_other_engine webkitgtk)
else()
  set(bw_other_engine edge2)
endif()
set(bw_framework_src ${PROJECT_SOURCE_DIR}/framework/src)
file(GLOB_RECURSE bw_framework_headers CONFIGURE_DEPENDS RELATIVE ${bw_framework_src} ${bw_framework_src}/*.hpp)
foreach(header IN LISTS bw_framework_headers)
  if(header MATCHES "/${bw_other_engine}/")
    continue()
  endif()
  get_filename_component(directory ${header} DIRECTORY)
  install(FILES ${bw_framework_src}/${header} DESTINATION ${bw_install_framework_headers}/${directory} COMPONENT framework)
endforeach()

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/bwConfig.cmake.in ${CMAKE_BINARY_DIR}/packaging/bwConfig.cmake
                              INSTALL_DESTINATION ${bw_install_cmake_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/packaging/bwConfigVersion.cmake VERSION ${TARNWICK_VERSION}
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/packaging/bwConfig.cmake ${CMAKE_BINARY_DIR}/packaging/bwConfigVersion.cmake
        DESTINATION ${bw_install_cmake_dir} COMPONENT framework)
