# The Debian package: `cpack -G DEB` in a build folder (scripts/package configures one for /usr,
# with the distribution's hardening flags). It holds exactly what `cmake --install` lays out. The
# shared libraries the programs link come from dpkg-shlibdeps; what the views load at run time
# (QML modules) and what the widget host's plug-in and the desktop need beyond them are named
# here. The build tools are none of it.
include(GNUInstallDirs)

# What travels with the programs: the copyright file (ours, the node's and the embedded fonts'
# licences), the changelog and the manual pages, compressed as Debian installs them.
set(packaging_source ${CMAKE_SOURCE_DIR}/packaging)
set(packaging_binary ${CMAKE_BINARY_DIR}/packaging)
configure_file(${packaging_source}/copyright.in ${packaging_binary}/copyright @ONLY)
install(FILES ${packaging_binary}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/corvanta)
# The shipped node's own notices, unchanged: its --version points the reader at the accompanying
# COPYING, and the BSD-3-Clause libraries built into it require their notice with every binary.
# They are kept in the source tree so that the package builds from the repository alone.
if(NOT CORVANTA_BUNDLED_NODE_SHA256 STREQUAL "")
  install(DIRECTORY ${packaging_source}/node-licences/
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/corvanta/bitcoind)
endif()

set(manual_pages corvanta corvanta-widget-host)
# The ledger checker is a program of its own; its page comes with it.
if(TARGET corvanta-verify)
  list(APPEND manual_pages corvanta-verify)
endif()
set(compressed_docs)
# gzip -n: no name or time in the header, so the same sources give the same package.
function(corvanta_gzip source output)
  add_custom_command(OUTPUT ${output}
                     COMMAND gzip -9nc ${source} > ${output}
                     DEPENDS ${source}
                     COMMENT "Compressing ${source}"
                     VERBATIM)
endfunction()
# The newest entry is the release being built: its version is the project's and its date the
# release date the AppStream metadata gives, at the release's time, in the changelog's own form.
# Fixed in the source, never the build's clock, so that one commit always gives the same changelog.
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C TZ=UTC0
                        date -u -R -d "${CORVANTA_RELEASE_DATE} ${CORVANTA_RELEASE_TIME} UTC"
                OUTPUT_VARIABLE CORVANTA_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE date_result)
if(NOT date_result EQUAL 0 OR CORVANTA_CHANGELOG_DATE STREQUAL "")
  message(FATAL_ERROR "CORVANTA_RELEASE_DATE '${CORVANTA_RELEASE_DATE}' and CORVANTA_RELEASE_TIME "
                      "'${CORVANTA_RELEASE_TIME}' are not a date (YYYY-MM-DD) and a time (HH:MM:SS)")
endif()
configure_file(${packaging_source}/changelog.in ${packaging_binary}/changelog @ONLY)
corvanta_gzip(${packaging_binary}/changelog ${packaging_binary}/changelog.gz)
list(APPEND compressed_docs ${packaging_binary}/changelog.gz)
install(FILES ${packaging_binary}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/corvanta)
foreach(page IN LISTS manual_pages)
  configure_file(${packaging_source}/man/${page}.1 ${packaging_binary}/man/${page}.1 @ONLY)
  corvanta_gzip(${packaging_binary}/man/${page}.1 ${packaging_binary}/man/${page}.1.gz)
  list(APPEND compressed_docs ${packaging_binary}/man/${page}.1.gz)
  install(FILES ${packaging_binary}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(corvanta_package_docs ALL DEPENDS ${compressed_docs})
# lintian's overrides, each with the reason beside it.
install(FILES ${packaging_source}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME corvanta)

set(CPACK_PACKAGE_NAME corvanta)
set(CPACK_PACKAGE_VENDOR "The Corvanta developers")
set(CPACK_PACKAGE_CONTACT "The Corvanta developers <support@${CORVANTA_SITE_HOST}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Solo Bitcoin miner for the desktop, with its own node")
# Lines of at most 80 characters, as the control file's description wants them.
set(CPACK_PACKAGE_DESCRIPTION
    "Corvanta runs its own Bitcoin node, builds candidate blocks from the node's
templates, hashes them on the computer's processor and hands a winning block
to the node, paying the user's own address: no pool, no account, no server.
It ships the node it runs (bitcoind, checked by its digest before each start),
and desktop widgets.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${CORVANTA_SITE_HOST}/")
# Libraries of the programs, the plug-in and the shipped node, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-templates, qml6-module-qtquick-layouts, qml6-module-qtquick-window, qml6-module-qtqml-workerscript, qml6-module-qtquick-shapes, hicolor-icon-theme")
# The interface's typefaces travel inside the programs; a system font backs them for the
# characters they lack.
string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", fonts-dejavu-core")
# Earlier releases installed a system-wide autostart entry for the widget host; the maintainer
# scripts remove that conffile on upgrade (and on purge of a package that still has it).
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${packaging_source}/maintscripts/preinst ${packaging_source}/maintscripts/postinst
    ${packaging_source}/maintscripts/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Installed as `cmake --install` lays it out.
set(CPACK_SET_DESTDIR ON)
# Our programs and plug-in are stripped, and lose the compiler's .comment and .note sections as
# Debian's own packages do; the shipped node is installed as a file, not a target, so it is never
# touched and its digest (compiled into the application) still matches.
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/PackageStripNotes.cmake)
set(CPACK_CORVANTA_OBJCOPY ${CMAKE_OBJCOPY})
set(CPACK_GENERATOR DEB)
include(CPack)
