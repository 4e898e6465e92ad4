# Debian packages, one per component: kvo-host (the host, the framework and the module) and
# kvo-appserver (the server and its systemd unit, its settings in /etc/default, outside the
# prefix as Debian expects). `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME kvo)
set(CPACK_PACKAGE_VENDOR "Kvo")
set(CPACK_PACKAGE_CONTACT "Equipe Kvo <kvo@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Efetivos: headcount module of the food-service suite")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL host appserver)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_HOST_PACKAGE_NAME kvo-host)
set(CPACK_COMPONENT_HOST_DESCRIPTION
    "Host application of the food-service suite with the headcount module (Efetivos)")
# Loaded at run time, so no tool can see these: the database drivers.
set(CPACK_DEBIAN_HOST_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql")
# The framework is private to the host and the module, found through their run paths.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)

set(CPACK_DEBIAN_APPSERVER_PACKAGE_NAME kvo-appserver)
set(CPACK_COMPONENT_APPSERVER_DESCRIPTION
    "Application server Kvo01000.rdmMedEfetDiet (JSON-RPC over HTTP) with its systemd unit")
set(CPACK_DEBIAN_APPSERVER_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql")
set(CPACK_DEBIAN_APPSERVER_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/server/dist/postinst ${PROJECT_SOURCE_DIR}/server/dist/conffiles)

include(CPack)
