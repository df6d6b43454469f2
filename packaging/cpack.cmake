# Packages made by cpack: on Linux one Debian package per program component, on Windows one zip with
# both. The framework's component is for `cmake --install --component framework` only.
set(CPACK_PACKAGE_NAME tarnwick-desktop)
set(CPACK_PACKAGE_VENDOR Tarnwick)
set(CPACK_PACKAGE_VERSION ${TARNWICK_VERSION})
set(TARNWICK_PACKAGE_CONTACT "Tarnwick maintainers <maintainers@tarnwick.invalid>" CACHE STRING "Maintainer of the packages")
set(CPACK_PACKAGE_CONTACT ${TARNWICK_PACKAGE_CONTACT})
set(CPACK_COMPONENTS_ALL launcher standin)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENT_LAUNCHER_DISPLAY_NAME "Tarnwick desktop")
set(CPACK_COMPONENT_STANDIN_DISPLAY_NAME "Stand-in Tarnwick daemon")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # One zip of the two program components (a plain archive would take every component).
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_ARCHIVE_FILE_NAME tarnwick-desktop-${TARNWICK_VERSION}-windows-x64)
  set(CPACK_PACKAGE_FILE_NAME tarnwick-desktop-${TARNWICK_VERSION}-windows-x64)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # Dependencies as dpkg-shlibdeps finds them in the binaries.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION net)

  set(CPACK_DEBIAN_LAUNCHER_PACKAGE_NAME tarnwick-desktop)
  set(CPACK_DEBIAN_LAUNCHER_DESCRIPTION "Tarnwick interface in its own window
tarnwick_desktop makes sure that the Tarnwick daemon (tarnwickd) runs, starting it when no
process of that name exists, and shows the daemon's web interface in a window with an embedded
browser (WebKitGTK).")

  set(CPACK_DEBIAN_STANDIN_PACKAGE_NAME tarnwickd-standin)
  set(CPACK_DEBIAN_STANDIN_DESCRIPTION "stand-in for the Tarnwick daemon, for trying and testing
A small HTTP server in place of the real tarnwickd: it serves a page on 127.0.0.1:37338 and can
log each request. It is not the Tarnwick daemon.")
endif()

include(CPack)
