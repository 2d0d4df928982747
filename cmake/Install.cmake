# What `cmake --install` puts in place besides the two programs: the desktop
# entry with its AppStream metainfo and icons, the man pages, the shell
# completions and the systemd user unit.

set(TEMBREL_APP_ID "org.orvanik.TembrelServer")
# The date of the release named by TEMBREL_VERSION, for the AppStream entry.
set(TEMBREL_RELEASE_DATE "2026-12-07")

# Desktop entry, AppStream metainfo and icons (one SVG; the PNG sizes are
# drawn from it by src/res/draw-icons.sh).
install(FILES dist/${TEMBREL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(dist/${TEMBREL_APP_ID}.metainfo.xml.in
               ${CMAKE_CURRENT_BINARY_DIR}/dist/${TEMBREL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dist/${TEMBREL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES dist/icons/tembrel-server.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(DIRECTORY dist/icons/hicolor/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
        FILES_MATCHING PATTERN "*.png")

# Man pages, written in scdoc (docs/man) and turned into roff at build time.
find_program(SCDOC_PROGRAM scdoc)
if(SCDOC_PROGRAM)
    set(man_pages)
    foreach(page tembrel-server.1 tembrel-remote.1)
        # The version is filled in first; scdoc reads standard input only.
        set(source ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.scd)
        configure_file(docs/man/${page}.scd ${source} @ONLY)
        set(output ${CMAKE_CURRENT_BINARY_DIR}/man/${page})
        add_custom_command(
            OUTPUT ${output}
            COMMAND sh -c "\"$0\" < \"$1\" > \"$2\"" ${SCDOC_PROGRAM} ${source} ${output}
            DEPENDS ${source}
            COMMENT "Writing the man page ${page}"
            VERBATIM)
        list(APPEND man_pages ${output})
    endforeach()
    add_custom_target(man_pages ALL DEPENDS ${man_pages})
    install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(STATUS "scdoc not found: man pages are not built")
endif()

# Shell completions, in the folders each shell searches under the prefix.
install(FILES dist/completions/tembrel-remote.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tembrel-remote)
install(FILES dist/completions/tembrel-server.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tembrel-server)
install(FILES dist/completions/_tembrel-remote dist/completions/_tembrel-server
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)
install(FILES dist/completions/tembrel-remote.fish dist/completions/tembrel-server.fish
        DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

# The systemd user unit. Folder relative to the prefix; for a per-user install
# under ~/.local use -DTEMBREL_SYSTEMD_USER_UNIT_DIR=share/systemd/user.
set(TEMBREL_SYSTEMD_USER_UNIT_DIR "lib/systemd/user" CACHE STRING
    "Where the systemd user unit is installed, relative to the prefix")
# The unit names the installed binary, so it is written at install time, when
# the prefix (cmake --install --prefix ...) is known.
install(CODE "
    set(CMAKE_INSTALL_FULL_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    if(NOT IS_ABSOLUTE \"\${CMAKE_INSTALL_FULL_BINDIR}\")
        set(CMAKE_INSTALL_FULL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/\${CMAKE_INSTALL_FULL_BINDIR}\")
    endif()
    configure_file(\"${CMAKE_CURRENT_SOURCE_DIR}/dist/tembrel-server.service.in\"
                   \"${CMAKE_CURRENT_BINARY_DIR}/dist/tembrel-server.service\" @ONLY)
")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dist/tembrel-server.service
        DESTINATION ${TEMBREL_SYSTEMD_USER_UNIT_DIR})
