# The manual pages: man/NAME.SECTION.in each, with the version and the
# release date filled in, gzip-compressed as Debian wants them. A command's page is
# added to this list; every page of section 1 also names a command that the
# AppStream metadata says the package provides.
set(man_pages flowtally.1 flowtally-report.1 flowtally-accountd.8)

foreach(page ${man_pages})
    get_filename_component(section ${page} LAST_EXT)
    string(SUBSTRING ${section} 1 -1 section)
    configure_file(man/${page}.in ${CMAKE_CURRENT_BINARY_DIR}/man/${page} @ONLY)
    flowtally_gzip(${CMAKE_CURRENT_BINARY_DIR}/man/${page} compressed)
    list(APPEND compressed_man_pages ${compressed})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
    if(section STREQUAL "1")
        get_filename_component(command ${page} NAME_WLE)
        list(APPEND provided_commands ${command})
    endif()
endforeach()
add_custom_target(flowtally_man_pages ALL DEPENDS ${compressed_man_pages})
