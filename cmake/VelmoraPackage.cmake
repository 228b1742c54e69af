# The Debian package: `cpack -G DEB` in the build folder writes
# velmora_<version>_<arch>.deb. The libraries the program links come from
# dpkg-shlibdeps; what it loads at run time without linking (Qt's platform
# plugins, the dialog font) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "The Velmora developers <velmora@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live cost meter for dial-up (PPP) links")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmora watches the dial-up (PPP) connection once a second and meters its\n"
    "telephone charges while it is up: unit by unit, by the tariff, the day of the\n"
    "week and the time of day. It logs every finished connection with its cost\n"
    "and the running grand total, and lives in the notification area. Its user\n"
    "interface is German.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-extra")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
