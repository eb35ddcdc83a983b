# Where an installed client's files go (GNU layout, prefix /usr in the
# package), and the Debian package CPack makes of them.
include(GNUInstallDirs)

install(TARGETS quorvel quorvel-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Programs the client starts: the runtime's installer and the example
# screenshot tool (a user's own in $XDG_CONFIG_HOME/quorvel/ wins).
install(PROGRAMS ${PROJECT_SOURCE_DIR}/resources/config/install-runtime.sh
                 ${PROJECT_SOURCE_DIR}/resources/config/QQSnapShot
        DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/quorvel)
install(FILES ${PROJECT_SOURCE_DIR}/resources/linux/io.quorvel.Desk.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${PROJECT_SOURCE_DIR}/resources/linux/io.quorvel.Desk.metainfo.xml
               ${CMAKE_BINARY_DIR}/io.quorvel.Desk.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/io.quorvel.Desk.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/linux/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvel)
# The changelog and the manual pages, compressed as Debian keeps them
# (no name or time in the gzip header, so that builds repeat).
set(compressed)
foreach(pair "changelog:share/doc/quorvel" "quorvel.1:share/man/man1" "quorvel-tool.1:share/man/man1")
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 destination)
  set(gz ${CMAKE_BINARY_DIR}/compressed/${name}.gz)
  add_custom_command(OUTPUT ${gz}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/compressed
                     COMMAND sh -c "gzip -9n -c '${PROJECT_SOURCE_DIR}/resources/linux/${name}' > '${gz}'"
                     DEPENDS ${PROJECT_SOURCE_DIR}/resources/linux/${name} VERBATIM)
  list(APPEND compressed ${gz})
  install(FILES ${gz} DESTINATION ${destination})
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${compressed})

# Icons: the drawing and its sizes, rendered from it when rsvg-convert is
# there (package.sh installs it), else the sizes drawn beside it.
set(svg ${PROJECT_SOURCE_DIR}/resources/icons/io.quorvel.Desk.svg)
install(FILES ${svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(RSVG_CONVERT rsvg-convert)
set(icon_sizes 16 22 24 32 48 64 128 256)
if(RSVG_CONVERT)
  set(rendered)
  foreach(size IN LISTS icon_sizes)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}/io.quorvel.Desk.png)
    add_custom_command(OUTPUT ${png}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}
                       COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg}
                       DEPENDS ${svg} VERBATIM)
    list(APPEND rendered ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(icons ALL DEPENDS ${rendered})
else()
  foreach(size 16 32 48 64)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/quorvel-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME io.quorvel.Desk.png)
  endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "The Quorvel Desk authors")
set(CPACK_PACKAGE_CONTACT "The Quorvel Desk authors <maintainers@quorvel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client of a self-hosted live-chat site")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvel Desk binds itself to one chat site through a server number, shows\n\
the site's agent console, and adds a window that remembers its place, a tray\n\
icon with an alert, notices of new visitor messages with a reply box, and a\n\
console that recovers by itself from crashes and outages.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The web engine is loaded at run time through the client's own library,
# which shlibdeps cannot see; Chinese text needs a CJK font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libwebkit2gtk-4.1-0, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "flameshot | gnome-screenshot | kde-spectacle | xfce4-screenshooter, sound-theme-freedesktop")
include(CPack)
