# SPDX-License-Identifier: GPL-3.0-or-later
# The manual page, the Debian documentation files and the .deb (cpack, or scripts/package).

# The manual page carries the version it documents; gzip -n leaves the file's name and time
# out, so the same page gives the same bytes.
set(SELVAR_MAN_PAGE ${PROJECT_BINARY_DIR}/selvar.1)
configure_file(${PROJECT_SOURCE_DIR}/docs/selvar.1.in ${SELVAR_MAN_PAGE} @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/changelog)
foreach(pair "${SELVAR_MAN_PAGE};selvar.1.gz" "${PROJECT_SOURCE_DIR}/data/changelog;changelog.gz")
    list(GET pair 0 source)
    list(GET pair 1 target)
    execute_process(COMMAND gzip -9 -n -c ${source} OUTPUT_FILE ${PROJECT_BINARY_DIR}/${target}
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "gzip ${source} failed: ${rc}")
    endif()
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/selvar.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The installed README is the source's for a program on the PATH: the parts that only make sense
# in a checkout (the build commands, build-tree paths, developer documents) are left out and the
# installed wording put in their place, both marked by comments in README.md.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
execute_process(
    COMMAND sed -e "/^<!-- checkout -->$/,/^<!-- \\/checkout -->$/d" -e "/^<!-- installed$/d"
            -e "/^installed -->$/d"
    INPUT_FILE ${PROJECT_SOURCE_DIR}/README.md OUTPUT_FILE ${PROJECT_BINARY_DIR}/README.md
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "sed README.md failed: ${rc}")
endif()
install(FILES ${PROJECT_BINARY_DIR}/README.md data/copyright ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# What the installed README shows and links to.
install(FILES docs/first-session.png docs/bus-monitor.png docs/measure-window.png docs/tracing.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
# The examples users start from. Like all documentation in a Debian package they are not
# executable (users run them with python3 or copy them); bytecode caches are no example.
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        PATTERN __pycache__ EXCLUDE)

# lintian finds no error or warning in the package. At its info level it notes that the binary
# lacks bindnow and fortified libc calls (the build takes the project's flags, not Debian's
# dpkg-buildflags) and keeps a .comment section after plain strip.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME selvar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Directories made for the package's files are 0755 whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The example sweep drives the program through the Python driver, a package of its own.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS python3-selvar-control)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_CONTACT "Selvar Control developers <selvar-control@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "evaluation program for Selvar volume-control chips")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Selvar Control drives one or two Selvar stereo digital volume-control chips on
demonstration boards: it bit-bangs their serial interface, drives the MUTE and
zero-cross detection pins, reads the gain registers back and shows each chip
as a gain panel with Left, Right, Gang and Pan sliders in decibels.

The boards hang on a PC parallel port (Linux ppdev or direct I/O), a USB FTDI
adapter or Linux GPIO lines; without one, a simulated board stands
in. It records bus traces as access logs or waveforms, shows the bus live, and
can be driven over SCPI on TCP or from a script, with or without windows.")
include(CPack)
