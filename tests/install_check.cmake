# SPDX-License-Identifier: GPL-3.0-or-later
# Installs into a scratch prefix and checks that a desktop finds the program, its entry and
# its icon where it looks for them.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/selvar share/applications/selvar.desktop share/icons/hicolor/scalable/apps/selvar.svg
          lib/udev/rules.d/60-selvar-adapters.rules)
    if(NOT EXISTS ${PREFIX}/${f})
        message(FATAL_ERROR "missing after install: ${f}")
    endif()
endforeach()
file(STRINGS ${PREFIX}/share/applications/selvar.desktop exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=selvar")
    message(FATAL_ERROR "unexpected Exec line: ${exec}")
endif()
