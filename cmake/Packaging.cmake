# The Debian package: `cpack -G DEB` in a build folder (scripts/package configures one for /usr).
# It holds exactly what `cmake --install` lays out. The shared libraries the programs link come
# from dpkg-shlibdeps; what the views load at run time (QML modules) and what the widget host's
# plug-in and the desktop need beyond them are named here. The build tools are none of it.
set(CPACK_PACKAGE_NAME corvanta)
set(CPACK_PACKAGE_VENDOR "Corvanta")
set(CPACK_PACKAGE_CONTACT "Corvanta <support@${CORVANTA_SITE_HOST}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Solo Bitcoin miner for the desktop, with its own node")
set(CPACK_PACKAGE_DESCRIPTION
    "Corvanta runs its own Bitcoin node, builds candidate blocks from the node's templates, hashes them on the computer's processor and hands a winning block to the node, paying the user's own address. It ships the node it runs, and desktop widgets.")
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
# Installed as `cmake --install` lays it out, absolute paths (/etc) included.
set(CPACK_SET_DESTDIR ON)
# Our programs and plug-in are stripped; the shipped node is installed as a file, not a target, so
# it is never stripped and its digest (compiled into the application) still matches.
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
