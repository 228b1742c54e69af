# The Debian package: `cpack -G DEB` in any configured build folder writes
# velmora_<version>_<arch>.deb, building first what the package holds (the
# two programs, the compressed manual page), so a folder in which only the
# program was built, or nothing at all, packages as well as a full build. The
# libraries the programs link come from dpkg-shlibdeps; what they load at run
# time without linking (Qt's platform plugins, the dialog font) is named here.
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
    "and the running grand total, shows what the line cost per day, month and\n"
    "year (a window, a report also as JSON, CSV for spreadsheets), and lives in\n"
    "the notification area. Its user interface is German.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libtdb1 is loaded when a pppd is first looked up, so the library scan cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-extra, libtdb1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
add_custom_target(velmora_package_files)
add_dependencies(velmora_package_files velmora velmora-verlauf velmora_manpage)
# CPack runs its install scripts before it installs the project.
set(package_build_script ${CMAKE_BINARY_DIR}/VelmoraPackageBuild.cmake)
file(CONFIGURE OUTPUT ${package_build_script} @ONLY CONTENT [[
execute_process(COMMAND "@CMAKE_COMMAND@" --build "@CMAKE_BINARY_DIR@" --target velmora_package_files
                RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the package's files could not be built")
endif()
]])
set(CPACK_INSTALL_SCRIPTS ${package_build_script})
include(CPack)
