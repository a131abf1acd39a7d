# The Debian package, made by CPack's DEB generator: `make package` builds
# flowtally_VERSION_ARCH.deb in the package's tree.
execute_process(COMMAND dpkg --print-architecture
                OUTPUT_VARIABLE debian_architecture OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME flowtally)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "traffic meter for an Internet connection with a monthly limit")
list(JOIN flowtally_description "\n\n" CPACK_PACKAGE_DESCRIPTION)

set(CPACK_DEBIAN_FILE_NAME flowtally_${PROJECT_VERSION}_${debian_architecture}.deb)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${debian_architecture})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${flowtally_maintainer})
# Depends: what the programs' shared libraries come from (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# snmpget and snmpwalk read the router's counters; without them Flowtally
# counts this computer's own traffic.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS snmp)
# flowtally-accountd's unit: enabled and started on install, stopped on
# removal (debian/), through deb-systemd-helper and deb-systemd-invoke of
# init-system-helpers, an essential package.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/prerm ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# Where the package's checks find it.
set(FLOWTALLY_PACKAGE_FILE ${CMAKE_BINARY_DIR}/${CPACK_DEBIAN_FILE_NAME} PARENT_SCOPE)
