# Installation and the Debian package, from the same rules.
#
#   bin/vantoli                      the program
#   lib/vantoli/Peer/                the player programs (PeerTerminal, PeerPlayer)
#   share/applications/, share/icons/hicolor/, share/doc/vantoli/
#
# The installed program finds lib/vantoli/ from its own location, and keeps
# its files in $XDG_DATA_HOME/vantoli. The build tree keeps its own layout
# (Peer/ beside the executable). Each rule names a target only when it
# exists, so a partial build still installs what it has.

set(VANTOLI_PARTS_DIR lib/vantoli)
set(VANTOLI_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
# "install" and the package install what is built; they do not build
# everything first (run the build before them).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

if(TARGET vantoli)
  install(TARGETS vantoli RUNTIME DESTINATION bin)
endif()
# The updater is not installed: an installed program is updated by its
# package manager and offers the content server's update page instead.
foreach(part PeerTerminal PeerPlayer)
  if(TARGET ${part})
    install(TARGETS ${part} RUNTIME DESTINATION ${VANTOLI_PARTS_DIR}/Peer)
  endif()
endforeach()
# The parts folder exists even when no part is built, so that the
# installed program recognises its layout.
install(DIRECTORY DESTINATION ${VANTOLI_PARTS_DIR}/Peer)

install(FILES ${VANTOLI_PACKAGING_DIR}/vantoli.desktop DESTINATION share/applications)
install(FILES ${VANTOLI_PACKAGING_DIR}/icons/vantoli.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${VANTOLI_PACKAGING_DIR}/icons/vantoli-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME vantoli.png)
endforeach()
install(FILES ${VANTOLI_PACKAGING_DIR}/copyright DESTINATION share/doc/vantoli)
# Debian wants the changelog and the manual page compressed reproducibly
# (no name, no time in the gzip header).
foreach(pair "changelog|share/doc/vantoli/changelog.gz" "vantoli.1|share/man/man1/vantoli.1.gz")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 target)
  install(CODE "
    set(target \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${target}\")
    get_filename_component(dir \"\${target}\" DIRECTORY)
    file(MAKE_DIRECTORY \"\${dir}\")
    execute_process(COMMAND gzip -9nc \"${VANTOLI_PACKAGING_DIR}/${source}\"
                    OUTPUT_FILE \"\${target}\" RESULT_VARIABLE rc)
    if(rc)
      message(FATAL_ERROR \"gzip of ${source} failed\")
    endif()
    file(CHMOD \"\${target}\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  ")
endforeach()

# The icon generator. The icons it draws are kept in packaging/icons/;
# "ninja icons" draws them again.
if(TARGET Qt6::Gui)
  add_executable(vantoli_icongen EXCLUDE_FROM_ALL ${VANTOLI_PACKAGING_DIR}/icongen/icongen.cpp)
  target_link_libraries(vantoli_icongen PRIVATE Qt6::Gui)
  add_custom_target(icons
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:vantoli_icongen>
            ${VANTOLI_PACKAGING_DIR}/icons
    DEPENDS vantoli_icongen
    COMMENT "Drawing the program's icons")
endif()

# The Debian package: "cpack -G DEB" in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantoli)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Vantoli maintainers <maintainers@users.noreply.c-seed-6fcd1f24.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video-on-demand player for an online catalog")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vantoli shows an online catalog of films, series and TV channels in\n"
    "embedded web panes and plays what is chosen there, keeping a play history\n"
    "with resume positions. It plays local files too, answers the desktop's\n"
    "media keys and keeps the screen awake while a video plays.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The player engine is loaded at run time, so dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmpv2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session | dbus-x11")
include(CPack)
