# The Debian package: what `cmake --install` places (program, manual page, help pages, desktop
# entry, document type, icons, AppStream metadata, copyright and changelog), with Depends taken
# from the program's shared libraries plus the data packages the automatic fit reads.
# `cpack -G DEB` (or the `package` target) in a build configured with CMAKE_INSTALL_PREFIX=/usr
# makes it; scripts/package.sh does all of it from a clean build directory.
include(GNUInstallDirs)

# The changelog is where a release is written down: its newest entry gives the release date and
# the maintainer, and must name the version project() gives.
set(VISOMORF_CHANGELOG ${CMAKE_SOURCE_DIR}/packaging/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VISOMORF_CHANGELOG})
file(STRINGS ${VISOMORF_CHANGELOG} changelog_lines)
list(GET changelog_lines 0 changelog_head)
if(NOT changelog_head MATCHES "^visomorf \\(([^)]+)\\) ")
    message(FATAL_ERROR "packaging/changelog: the first line must read \"visomorf (VERSION) ...\"")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "packaging/changelog names version ${CMAKE_MATCH_1}, project() says "
        "${PROJECT_VERSION}: give the release an entry in the changelog")
endif()
set(changelog_trailer "")
foreach(line IN LISTS changelog_lines)
    if(line MATCHES "^ -- (.+ <[^>]+>)  [A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+) ")
        set(changelog_trailer "${line}")
        set(VISOMORF_MAINTAINER "${CMAKE_MATCH_1}")
        set(day "${CMAKE_MATCH_2}")
        set(month_name "${CMAKE_MATCH_3}")
        set(year "${CMAKE_MATCH_4}")
        break()
    endif()
endforeach()
if(NOT changelog_trailer)
    message(FATAL_ERROR "packaging/changelog: the first entry has no \" -- NAME <EMAIL>  DATE\" line")
endif()
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months "${month_name}" month)
if(month LESS 0)
    message(FATAL_ERROR "packaging/changelog: unknown month in \"${changelog_trailer}\"")
endif()
math(EXPR month "${month} + 1")
foreach(part month day)
    string(LENGTH "${${part}}" digits)
    if(digits EQUAL 1)
        set(${part} "0${${part}}")
    endif()
endforeach()
set(VISOMORF_RELEASE_DATE "${year}-${month}-${day}")

# AppStream wants a web address for a screenshot; the picture itself is installed with the help
# pictures. Where the project publishes docs/images/mainwindow.png, give its address here.
set(VISOMORF_SCREENSHOT_URL "" CACHE STRING
    "Web address of the main window's picture for the AppStream metadata (left out when empty)")
set(VISOMORF_METAINFO_SCREENSHOTS "")
if(VISOMORF_SCREENSHOT_URL)
    if(NOT VISOMORF_SCREENSHOT_URL MATCHES "^https://[^ <>&\"]+$")
        message(FATAL_ERROR "VISOMORF_SCREENSHOT_URL must be an https:// address without spaces "
            "or markup characters, not \"${VISOMORF_SCREENSHOT_URL}\"")
    endif()
    string(CONCAT VISOMORF_METAINFO_SCREENSHOTS
        "  <screenshots>\n"
        "    <screenshot type=\"default\">\n"
        "      <caption>The main window: front photo, side photo and the fitted head</caption>\n"
        "      <image>${VISOMORF_SCREENSHOT_URL}</image>\n"
        "    </screenshot>\n"
        "  </screenshots>\n")
endif()

set(VISOMORF_APP_ID org.vendal.Visomorf)
set(PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
configure_file(${CMAKE_SOURCE_DIR}/resources/desktop/${VISOMORF_APP_ID}.metainfo.xml.in
    ${PACKAGING_OUT}/${VISOMORF_APP_ID}.metainfo.xml @ONLY)

# Debian keeps changelogs compressed, and without a time stamp inside so that the package
# comes out the same from the same sources.
add_custom_command(OUTPUT ${PACKAGING_OUT}/changelog.gz
    COMMAND gzip -9nc ${VISOMORF_CHANGELOG} > ${PACKAGING_OUT}/changelog.gz
    DEPENDS ${VISOMORF_CHANGELOG} VERBATIM)
add_custom_target(visomorf_changelog ALL DEPENDS ${PACKAGING_OUT}/changelog.gz)

install(FILES ${PACKAGING_OUT}/${VISOMORF_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${PACKAGING_OUT}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/visomorf)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME visomorf)
set(CPACK_PACKAGE_VENDOR Vendal)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VISOMORF_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "turn a front and a side photograph into a textured 3D head model")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VISOMORF_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps; the automatic fit reads the landmark model from this
# data package at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libdlib-data")
# Help > Help and Help > Video Tutorial open their pages in the desktop's browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack puts the summary above this as the synopsis line.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Visomorf turns two photographs of a person's head, one from the front and\n"
    "one in profile, into a textured 3D head model. Align a box, feature points\n"
    "and outlines with each photo, or let the automatic fit find the face and the\n"
    "profile and place them; a generic head follows every mouse move, and a 3D\n"
    "view shows it coloured from both photos.\n"
    "\n"
    "The head is saved as a .vmf document and exported as an OBJ mesh with its\n"
    "material and a baked JPEG texture, or as a glTF 2.0 file. A command line\n"
    "exports, saves and describes documents without a display.")
include(CPack)
