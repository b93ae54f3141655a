# Installation layout, desktop integration and the Debian package.
#
#   cmake --install BUILD --prefix P   installs into P
#   cpack --config BUILD/CPackConfig.cmake   builds tarvo_<version>_<arch>.deb
#
# The programs live together in P/lib/tarvo with the help document beside
# them (the desktop program looks for it in its own folder); P/bin holds
# relative symbolic links to them. The version everywhere (the dialog, the
# package, the metainfo and the manual pages) is PROJECT_VERSION.

set(TARVO_INSTALL_BINDIR bin)
set(TARVO_INSTALL_LIBDIR lib)
set(TARVO_INSTALL_PROGRAMDIR lib/tarvo)
set(TARVO_INSTALL_INCLUDEDIR include/tarvo)
set(TARVO_INSTALL_DATADIR share)

# The day this version was released, for the metainfo file's release entry.
set(TARVO_RELEASE_DATE 2026-12-08)

# The icon's rendered sizes in pixels: installed in the hicolor theme and
# built into the desktop program as its window icon.
set(TARVO_ICON_SIZES 16 32 48 64 128 256)
set(TARVO_ICON_DIR ${PROJECT_SOURCE_DIR}/packaging/icons)

set(TARVO_PACKAGE_MAINTAINER "The TARVO team <tarvo@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

# tarvo_install_program(target)
# Installs the program into lib/tarvo and a relative link bin/<target> to it.
function(tarvo_install_program target)
    # Without this the installed program would lose a Qt found outside the
    # system's library folders; a system Qt adds nothing.
    set_target_properties(${target} PROPERTIES INSTALL_RPATH_USE_LINK_PATH TRUE)
    install(TARGETS ${target} RUNTIME DESTINATION ${TARVO_INSTALL_PROGRAMDIR})

    file(RELATIVE_PATH link_target /${TARVO_INSTALL_BINDIR}
         /${TARVO_INSTALL_PROGRAMDIR}/${target})
    set(link ${CMAKE_CURRENT_BINARY_DIR}/bin-links/${target})
    file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/bin-links)
    file(CREATE_LINK ${link_target} ${link} SYMBOLIC)
    install(FILES ${link} DESTINATION ${TARVO_INSTALL_BINDIR})
endfunction()

# tarvo_install_manual_page(SOURCE): configures the page's version, packs it
# with gzip at build time and installs it in share/man/man<section>.
function(tarvo_install_manual_page source)
    get_filename_component(name ${source} NAME)
    string(REGEX MATCH "[0-9]$" section ${name})
    set(page ${PROJECT_BINARY_DIR}/packaging/man/${name})
    configure_file(${source} ${page} @ONLY)
    find_program(TARVO_GZIP gzip)
    if(TARVO_GZIP)
        add_custom_command(
            OUTPUT ${page}.gz
            COMMAND ${TARVO_GZIP} -9 -n -k -f ${page}
            DEPENDS ${page}
            COMMENT "Packing the manual page ${name}")
        add_custom_target(manual_page_${name} ALL DEPENDS ${page}.gz)
        set(page ${page}.gz)
    endif()
    install(FILES ${page} DESTINATION ${TARVO_INSTALL_DATADIR}/man/man${section})
endfunction()

set(TARVO_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

tarvo_install_manual_page(${TARVO_PACKAGING_DIR}/man/tarvo-run.1)

if(TARVO_HAVE_QT)
    tarvo_install_manual_page(${TARVO_PACKAGING_DIR}/man/tarvo.1)

    install(FILES ${TARVO_PACKAGING_DIR}/org.tarvo.tarvo.desktop
            DESTINATION ${TARVO_INSTALL_DATADIR}/applications)
    configure_file(${TARVO_PACKAGING_DIR}/org.tarvo.tarvo.metainfo.xml.in
                   ${PROJECT_BINARY_DIR}/packaging/org.tarvo.tarvo.metainfo.xml @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/packaging/org.tarvo.tarvo.metainfo.xml
            DESTINATION ${TARVO_INSTALL_DATADIR}/metainfo)

    foreach(size IN LISTS TARVO_ICON_SIZES)
        install(FILES ${TARVO_ICON_DIR}/tarvo-${size}.png
                DESTINATION ${TARVO_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME tarvo.png)
    endforeach()
    install(FILES ${TARVO_ICON_DIR}/tarvo.svg
            DESTINATION ${TARVO_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The TARVO team")
set(CPACK_PACKAGE_CONTACT "${TARVO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "item response theory calibration, 3PL and 1PL")
set(CPACK_PACKAGE_DESCRIPTION
    "TARVO estimates by maximum likelihood the item parameters of the
three-parameter logistic model (a, b, c) or of the one-parameter model (b),
and the abilities (theta) of the examinees, each with its standard error,
from a fixed-column file of examinee responses and, in some modes, a file
of item parameters. It writes one result file.

The package holds the desktop program tarvo (one dialog), the command-line
runner tarvo-run, and the shared library libtarvo with its C header.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# Added to what dpkg-shlibdeps finds: Qt's platform plugins are loaded at run
# time, so no library dependency names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The group boxes' font, "Open" for the result and the help document, and a
# program that shows the help document (rich text format).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-comic-neue, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libreoffice-writer | abiword")
include(CPack)
