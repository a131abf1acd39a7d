# flowtally-accountd's systemd unit, in /usr/lib/systemd/system (below the
# prefix), with the path of the service filled in when it is installed: the
# prefix of the install (the package's /usr, or /usr/local) is known only
# then. The package's maintainer scripts (debian/) enable and start it on
# install and stop it on removal.
set(accountd_unit ${CMAKE_CURRENT_BINARY_DIR}/unit/flowtally-accountd.service)
install(CODE "
    set(sbindir \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_SBINDIR}\")
    configure_file(\"${CMAKE_CURRENT_SOURCE_DIR}/flowtally-accountd.service.in\"
                   \"${accountd_unit}\" @ONLY)
")
install(FILES ${accountd_unit} DESTINATION lib/systemd/system)
