# Install rules of the two programs. Component "launcher" is tarnwick_desktop with what a desktop
# needs to show it; component "standin" is the stand-in daemon, packaged apart so that installing
# the launcher never brings a fake daemon along.
# The translations, where the launcher looks for them: locale/ beside it, or ../share/locale/.
function(tarnwick_install_catalogs root)
  foreach(mo IN LISTS TARNWICK_CATALOGS)
    get_filename_component(messages ${mo} DIRECTORY)
    get_filename_component(language_folder ${messages} DIRECTORY)
    get_filename_component(language ${language_folder} NAME)
    install(FILES ${mo} DESTINATION ${root}/${language}/LC_MESSAGES COMPONENT launcher)
  endforeach()
endfunction()

if(WIN32)
  install(TARGETS tarnwick_desktop RUNTIME DESTINATION . COMPONENT launcher)
  tarnwick_install_catalogs(locale)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/windows/README.txt DESTINATION . COMPONENT launcher)
  # A folder of its own: the launcher looks for tarnwickd beside itself, so this one runs only when
  # the user starts it.
  install(TARGETS tarnwickd RUNTIME DESTINATION standin-daemon COMPONENT standin)
  return()
endif()

include(GNUInstallDirs)
install(TARGETS tarnwick_desktop RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT launcher)
tarnwick_install_catalogs(${CMAKE_INSTALL_LOCALEDIR})
install(TARGETS tarnwickd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT standin)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/linux/tarnwick.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT launcher)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/linux/org.tarnwick.desktop.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        COMPONENT launcher)

# The manual page, compressed as Debian packages carry them.
set(tarnwick_man ${CMAKE_BINARY_DIR}/packaging/man/tarnwick_desktop.1.gz)
add_custom_command(OUTPUT ${tarnwick_man}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/man
  COMMAND sh -c "gzip -9n -c '${CMAKE_CURRENT_LIST_DIR}/linux/tarnwick_desktop.1' > '${tarnwick_man}'"
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/linux/tarnwick_desktop.1
  VERBATIM)
add_custom_target(tarnwick_man ALL DEPENDS ${tarnwick_man})
install(FILES ${tarnwick_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT launcher)

set(tarnwick_icon_svg ${PROJECT_SOURCE_DIR}/desktop/resources/tarnwick.svg)
set(tarnwick_hicolor ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${tarnwick_icon_svg} DESTINATION ${tarnwick_hicolor}/scalable/apps COMPONENT launcher)

# The fixed sizes, rendered from the SVG (desktops that draw no SVG icons use these).
find_program(TARNWICK_RSVG_CONVERT rsvg-convert)
if(NOT TARNWICK_RSVG_CONVERT)
  message(WARNING "rsvg-convert (librsvg2-bin) not found: the launcher is installed without PNG icons")
  return()
endif()
set(tarnwick_icons)
foreach(size 16 24 32 48 64 128 256)
  set(png ${CMAKE_BINARY_DIR}/packaging/icons/${size}x${size}/tarnwick.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/icons/${size}x${size}
    COMMAND ${TARNWICK_RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${tarnwick_icon_svg}
    DEPENDS ${tarnwick_icon_svg}
    VERBATIM)
  list(APPEND tarnwick_icons ${png})
  install(FILES ${png} DESTINATION ${tarnwick_hicolor}/${size}x${size}/apps COMPONENT launcher)
endforeach()
add_custom_target(tarnwick_icons ALL DEPENDS ${tarnwick_icons})
