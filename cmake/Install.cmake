# Installation and the Debian package.
#
# Layout under the prefix (default /usr/local; the package uses /usr):
#   lib/tallyclock-suite/            the program with the files it reads beside itself
#   bin/tallyclock-suite             symlink to the program (it finds its files through
#                                    /proc/self/exe, which resolves the link)
#   share/applications, share/icons  desktop entry and application icon
#   share/man/man1, share/doc        manual page, copyright and changelog
# The shared data folder is fixed, whatever the prefix: every user punches into the same database.

# The support address the error box names where the workplace has not set SupportAddress in the
# system-wide settings file (/etc/xdg/Quillmark/Quillmark.ini). Empty: the box asks to send the
# screenshot to the person who looks after the computer.
set(TALLYCLOCK_SUPPORT_ADDRESS "" CACHE STRING "Support e-mail address shown by the error box, unless the \
system-wide settings set SupportAddress")
if(TALLYCLOCK_SUPPORT_ADDRESS MATCHES "[\"\\\\]")
    message(FATAL_ERROR "TALLYCLOCK_SUPPORT_ADDRESS must not contain quotes or backslashes")
endif()
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/core/Main.cpp APPEND PROPERTY COMPILE_DEFINITIONS
             TALLYCLOCK_SUPPORT_ADDRESS="${TALLYCLOCK_SUPPORT_ADDRESS}")

set(TALLYCLOCK_PROGRAM_DIR lib/tallyclock-suite)
set(TALLYCLOCK_DATA_FOLDER "/var/lib/Quillmark/Tallyclock Suite")

# The installed program and its office module carry no library search path of their own: the
# program needs none, and the module finds the office's runtime in the office's folder because the
# program loads that runtime from there first (platform/SpreadsheetOffice.cpp).
set(CMAKE_SKIP_INSTALL_RPATH ON)
install(TARGETS tallyclock-suite RUNTIME DESTINATION ${TALLYCLOCK_PROGRAM_DIR})
install(FILES ${TALLYCLOCK_BIN_DIR}/dbBlank.mdb ${TALLYCLOCK_BIN_DIR}/HAND-M.CUR
        DESTINATION ${TALLYCLOCK_PROGRAM_DIR})
install(FILES ${TALLYCLOCK_BIN_DIR}/x/o.cjs DESTINATION ${TALLYCLOCK_PROGRAM_DIR}/x)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/scripts/prepare-data-folder DESTINATION ${TALLYCLOCK_PROGRAM_DIR})
# A search path given to the linker directly, not through CMake, survives the setting above.
install(CODE "
    file(GLOB elf_files \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TALLYCLOCK_PROGRAM_DIR}/tallyclock-suite\"
                        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TALLYCLOCK_PROGRAM_DIR}/*.so\")
    foreach(elf IN LISTS elf_files)
        file(RPATH_REMOVE FILE \"\${elf}\")
    endforeach()
")

# Manual page and Debian changelog, compressed the way Debian wants them: maximum compression and
# no time stamp, so that the package is the same whenever it is built.
find_program(GZIP_TOOL gzip REQUIRED)
set(TALLYCLOCK_PACKAGE_RELEASE 1)
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^tallyclock-suite \\(${PROJECT_VERSION}-${TALLYCLOCK_PACKAGE_RELEASE}\\) ")
    message(FATAL_ERROR "packaging/changelog begins with \"${changelog_head}\", not with version "
                        "${PROJECT_VERSION}-${TALLYCLOCK_PACKAGE_RELEASE}: add an entry for this version")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog)
configure_file(${CMAKE_SOURCE_DIR}/docs/tallyclock-suite.1.in ${CMAKE_BINARY_DIR}/doc/tallyclock-suite.1 @ONLY)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/doc/tallyclock-suite.1.gz ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz
    COMMAND ${GZIP_TOOL} -9nfk ${CMAKE_BINARY_DIR}/doc/tallyclock-suite.1
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/doc/changelog.Debian
    COMMAND ${GZIP_TOOL} -9nf ${CMAKE_BINARY_DIR}/doc/changelog.Debian
    DEPENDS ${CMAKE_BINARY_DIR}/doc/tallyclock-suite.1 ${CMAKE_SOURCE_DIR}/packaging/changelog
    COMMENT "Compressing the manual page and the changelog"
    VERBATIM)
add_custom_target(documentation ALL DEPENDS ${CMAKE_BINARY_DIR}/doc/tallyclock-suite.1.gz
                                            ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz)
install(FILES ${CMAKE_BINARY_DIR}/doc/tallyclock-suite.1.gz DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz
        ${CMAKE_SOURCE_DIR}/resources/server-roles.sql DESTINATION share/doc/tallyclock-suite)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides DESTINATION share/lintian/overrides
        RENAME tallyclock-suite)

# A relative link, so that it stays right under DESTDIR and inside the package.
set(TALLYCLOCK_LAUNCHER ${CMAKE_BINARY_DIR}/launcher/tallyclock-suite)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/launcher)
file(CREATE_LINK ../${TALLYCLOCK_PROGRAM_DIR}/tallyclock-suite ${TALLYCLOCK_LAUNCHER} SYMBOLIC)
install(FILES ${TALLYCLOCK_LAUNCHER} DESTINATION bin)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/tallyclock-suite.desktop DESTINATION share/applications)
# The autostart entry of a terminal: copied into an autostart folder by whoever sets one up.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/tallyclock-terminal.desktop DESTINATION share/tallyclock-suite)
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
# Lines of at most 80 characters, with the blank that starts each one in the control file.
set(CPACK_PACKAGE_DESCRIPTION
    "People punch in and out with their person number and password; administrators\n\
manage persons and look at, delete and export the attendance records. One\n\
SQLite database in /var/lib/Quillmark/Tallyclock Suite serves every user of the\n\
computer, or the members of one group.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TALLYCLOCK_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the libraries the program links (Qt 6, libsqlite3; SQLiteCpp is linked
# statically on Debian). What it cannot see: the Arial-metric fonts the layout was drawn for, and the
# spreadsheet program. The office module's libraries are only recommended, with the office itself:
# the program runs without them, and only the spreadsheet export loads the module.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libreoffice-calc")
if(TARGET tallyclock-office)
    # CPack would run dpkg-shlibdeps over every library in the package and make them all Depends;
    # the package's project file runs it itself, once for each field.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
    find_program(DPKG_SHLIBDEPS dpkg-shlibdeps REQUIRED)
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/CPackDependencies.cmake CONTENT "\
if(CPACK_GENERATOR STREQUAL \"DEB\")
    set(work \"${CMAKE_BINARY_DIR}/shlibdeps\")
    file(REMOVE_RECURSE \"\${work}\")
    file(WRITE \"\${work}/debian/control\" \"Source: tallyclock-suite\\n\\nPackage: tallyclock-suite\\nArchitecture: any\\n\")
    execute_process(COMMAND \"${DPKG_SHLIBDEPS}\" -O \"-e$<TARGET_FILE:tallyclock-suite>\"
                            -dRecommends \"-e$<TARGET_FILE:tallyclock-office>\"
                    WORKING_DIRECTORY \"\${work}\" RESULT_VARIABLE status OUTPUT_VARIABLE found ERROR_VARIABLE why)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR \"dpkg-shlibdeps failed: \${why}\")
    endif()
    string(REGEX MATCH \"shlibs:Depends=([^\\n]*)\" ignored \"\${found}\")
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS \", \${CMAKE_MATCH_1}\")
    if(found MATCHES \"shlibs:Recommends=([^\\n]*)\")
        string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS \", \${CMAKE_MATCH_1}\")
    endif()
endif()
")
    set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackDependencies.cmake)
else()
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
