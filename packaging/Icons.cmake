# The icon in the hicolor theme's fixed sizes, drawn from resources/
# flowtally.svg at build time by rsvg-convert: librsvg is the renderer of
# the desktops that show these icons and reads all of SVG, so the pictures
# match the scalable icon installed beside them (app/CMakeLists.txt).
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(icon_source ${CMAKE_SOURCE_DIR}/resources/flowtally.svg)

foreach(size 16 22 24 32 48 64 128 256 512)
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size})
    add_custom_command(OUTPUT ${folder}/flowtally.png
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${RSVG_CONVERT} --width ${size} --height ${size}
                --output ${folder}/flowtally.png ${icon_source}
        DEPENDS ${icon_source}
        VERBATIM)
    list(APPEND icon_pictures ${folder}/flowtally.png)
    install(FILES ${folder}/flowtally.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(flowtally_icons ALL DEPENDS ${icon_pictures})
