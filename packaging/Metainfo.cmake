# The AppStream metadata, /usr/share/metainfo/flowtally.metainfo.xml, made
# from flowtally.metainfo.xml.in: the description, the screenshots, the
# release and the commands of the package.

# The screenshots by file name, with their captions: the windows as
# tests/app/WindowsTest.cpp draws them into build/screenshots during
# `make test` (the @2x pictures, sharp on the large screens of software
# centres). AppStream takes nothing but web addresses for them, so they
# are named under the address where they are published.
set(FLOWTALLY_SCREENSHOT_URL "https://flowtally.example/screenshots" CACHE STRING
    "The web folder that holds the published window pictures of build/screenshots")
set(screenshots
    "main@2x.png=The main window: rates, totals and the projection against the limit"
    "preferences@2x.png=The preferences: the router's SNMP community"
    "help@2x.png=The help")

function(xml_text text result)
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    set(${result} "${text}" PARENT_SCOPE)
endfunction()

set(metainfo_description "")
foreach(paragraph ${flowtally_description})
    xml_text("${paragraph}" paragraph)
    string(REPLACE "\n" "\n       " paragraph "${paragraph}")
    string(APPEND metainfo_description "    <p>${paragraph}</p>\n")
endforeach()

set(metainfo_screenshots "")
set(kind " type=\"default\"")
foreach(screenshot ${screenshots})
    string(REGEX REPLACE "=.*" "" file "${screenshot}")
    string(REGEX REPLACE "^[^=]*=" "" caption "${screenshot}")
    xml_text("${caption}" caption)
    string(APPEND metainfo_screenshots
           "    <screenshot${kind}>\n"
           "      <caption>${caption}</caption>\n"
           "      <image>${FLOWTALLY_SCREENSHOT_URL}/${file}</image>\n"
           "    </screenshot>\n")
    set(kind "")
endforeach()

set(metainfo_provides "")
foreach(command ${provided_commands})
    string(APPEND metainfo_provides "    <binary>${command}</binary>\n")
endforeach()

foreach(part metainfo_description metainfo_screenshots metainfo_provides)
    string(REGEX REPLACE "\n$" "" ${part} "${${part}}")
endforeach()
configure_file(flowtally.metainfo.xml.in ${CMAKE_CURRENT_BINARY_DIR}/flowtally.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/flowtally.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
