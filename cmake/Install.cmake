# Installation and the Debian package.
#
# Layout under the prefix (default /usr/local; the package uses /usr):
#   lib/tallyclock-suite/            the program with the files it reads beside itself
#   bin/tallyclock-suite             symlink to the program (it finds its files through
#                                    /proc/self/exe, which resolves the link)
#   share/applications, share/icons  desktop entry and application icon
# The shared data folder is fixed, whatever the prefix: every user punches into the same database.

set(TALLYCLOCK_PROGRAM_DIR lib/tallyclock-suite)
set(TALLYCLOCK_DATA_FOLDER "/var/lib/Quillmark/Tallyclock Suite")

install(TARGETS tallyclock-suite RUNTIME DESTINATION ${TALLYCLOCK_PROGRAM_DIR})
install(FILES ${TALLYCLOCK_BIN_DIR}/dbBlank.mdb ${TALLYCLOCK_BIN_DIR}/HAND-M.CUR
        DESTINATION ${TALLYCLOCK_PROGRAM_DIR})
install(FILES ${TALLYCLOCK_BIN_DIR}/x/o.cjs DESTINATION ${TALLYCLOCK_PROGRAM_DIR}/x)

# A relative link, so that it stays right under DESTDIR and inside the package.
set(TALLYCLOCK_LAUNCHER ${CMAKE_BINARY_DIR}/launcher/tallyclock-suite)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/launcher)
file(CREATE_LINK ../${TALLYCLOCK_PROGRAM_DIR}/tallyclock-suite ${TALLYCLOCK_LAUNCHER} SYMBOLIC)
install(FILES ${TALLYCLOCK_LAUNCHER} DESTINATION bin)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/tallyclock-suite.desktop DESTINATION share/applications)
foreach(size 32 64 256)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/tallyclock-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME tallyclock-suite.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/tallyclock.svg
        DESTINATION share/icons/hicolor/scalable/apps RENAME tallyclock-suite.svg)

# A plain `make install` prepares the shared data folder on this machine as well; a staged install
# (DESTDIR, or CPack building the package) leaves that to the package's postinst.
install(CODE "
    if(\"\$ENV{DESTDIR}\" STREQUAL \"\" AND NOT CMAKE_INSTALL_PREFIX MATCHES \"/_CPack_Packages/\")
        execute_process(COMMAND \"${CMAKE_SOURCE_DIR}/scripts/prepare-data-folder\" RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(WARNING \"The shared data folder ${TALLYCLOCK_DATA_FOLDER} is not ready; \"
                            \"run as root: ${CMAKE_SOURCE_DIR}/scripts/prepare-data-folder\")
        endif()
    endif()
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallyclock-suite)
set(CPACK_PACKAGE_VENDOR Quillmark)
set(CPACK_PACKAGE_CONTACT "Quillmark <support@quillmark.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "punch clock for a small workplace, shared by every user of the computer")
set(CPACK_PACKAGE_DESCRIPTION
    "People punch in and out with their person number and password; administrators manage persons\n\
and look at, delete and export the attendance records. One SQLite database in\n\
/var/lib/Quillmark/Tallyclock Suite serves every user of the computer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the libraries the program links (Qt 6, libsqlite3; SQLiteCpp is linked
# statically on Debian). What it cannot see: the Arial-metric fonts the layout was drawn for, and the
# spreadsheet program, which only the optional spreadsheet export needs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libreoffice-calc")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
