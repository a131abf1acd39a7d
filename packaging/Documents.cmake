# The package's documents in /usr/share/doc/flowtally (the package's name,
# not GNUInstallDirs' DOCDIR, which is named after the project): the
# copyright in Debian's machine-readable format, the changelog, and
# examples. The package is Debian-native (its version has no Debian revision), so the
# changelog is changelog.gz; its newest entry is this version's, dated the
# release date. A new version turns that entry's text into the new one's
# and keeps the old entry below it with its version written out.
set(document_folder ${CMAKE_INSTALL_DATADIR}/doc/flowtally)
install(FILES copyright DESTINATION ${document_folder})
# A systemd user service and timer that keep flowtally-report's figures for
# Prometheus fresh (flowtally-report(1), EXAMPLES).
install(FILES examples/flowtally-report.service examples/flowtally-report.timer
        DESTINATION ${document_folder}/examples)

execute_process(COMMAND date --utc --rfc-email --date ${FLOWTALLY_RELEASE_DATE}
                OUTPUT_VARIABLE changelog_date OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
configure_file(changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
flowtally_gzip(${CMAKE_CURRENT_BINARY_DIR}/changelog changelog)
add_custom_target(flowtally_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION ${document_folder})
