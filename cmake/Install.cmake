# Installing Vexlo below CMAKE_INSTALL_PREFIX (or `cmake --install <build> --prefix <folder>`):
# the program and its images, its desktop entry, so the desktop offers it under
# "Open With" for the media types the playlist lists, and its icon in the hicolor theme.
include(GNUInstallDirs)

install(TARGETS vexlo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The entry names the installed program by its full path, and the prefix is only known when
# installing, so the entry is made from its template then. The path is always quoted; inside
# the quotes " ` $ \ take a backslash and % is doubled, then every backslash is doubled once
# more, as in any string of a desktop entry.
set(vexlo_staged_entry ${CMAKE_BINARY_DIR}/install/vexlo.desktop)
set(vexlo_make_entry [[
    set(bindir "@CMAKE_INSTALL_BINDIR@")
    if(NOT IS_ABSOLUTE "${bindir}")
        set(bindir "${CMAKE_INSTALL_PREFIX}/${bindir}")
    endif()
    set(VEXLO_EXEC "${bindir}/vexlo")
    string(REPLACE "\\" "\\\\" VEXLO_EXEC "${VEXLO_EXEC}")
    string(REPLACE "\"" "\\\"" VEXLO_EXEC "${VEXLO_EXEC}")
    string(REPLACE "`" "\\`" VEXLO_EXEC "${VEXLO_EXEC}")
    string(REPLACE "$" "\\$" VEXLO_EXEC "${VEXLO_EXEC}")
    string(REPLACE "%" "%%" VEXLO_EXEC "${VEXLO_EXEC}")
    string(REPLACE "\\" "\\\\" VEXLO_EXEC "\"${VEXLO_EXEC}\"")
    configure_file("@PROJECT_SOURCE_DIR@/resources/vexlo.desktop.in" "@vexlo_staged_entry@" @ONLY)
]])
string(CONFIGURE "${vexlo_make_entry}" vexlo_make_entry @ONLY)
install(CODE "${vexlo_make_entry}")
install(FILES ${vexlo_staged_entry} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/vexlo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The pause button's images, which an installed program copies into its own folder when it
# first uses one.
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/BackGround
        DESTINATION ${CMAKE_INSTALL_DATADIR}/vexlo)
