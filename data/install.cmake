# Installed beside the program: a desktop entry that opens .sna, .z80, .tap
# and .tzx files with it, their MIME types, the program's icon in the hicolor
# theme (its drawing and the sizes rendered from it) and the manual page.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/brenvik.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/brenvik-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME brenvik.xml)
install(DIRECTORY ${CMAKE_CURRENT_LIST_DIR}/icons/hicolor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/brenvik.6
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

# On a direct install (no DESTDIR staging), refresh the desktop's caches so
# the file types, the entry and the icon are known at once. Packagers leave
# it to the package manager.
install(CODE [[
  if("$ENV{DESTDIR}" STREQUAL "")
    set(share "${CMAKE_INSTALL_PREFIX}/share")
    find_program(UPDATE_MIME update-mime-database)
    find_program(UPDATE_DESKTOP update-desktop-database)
    find_program(UPDATE_ICONS gtk-update-icon-cache)
    if(UPDATE_MIME)
      execute_process(COMMAND ${UPDATE_MIME} "${share}/mime" OUTPUT_QUIET ERROR_QUIET)
    endif()
    if(UPDATE_DESKTOP)
      execute_process(COMMAND ${UPDATE_DESKTOP} "${share}/applications" OUTPUT_QUIET ERROR_QUIET)
    endif()
    # A prefix of its own has no index.theme in its hicolor folder.
    if(UPDATE_ICONS)
      execute_process(COMMAND ${UPDATE_ICONS} --force --ignore-theme-index "${share}/icons/hicolor"
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
  endif()
]])
