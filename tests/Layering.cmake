# Fails when a lower layer includes a header of a higher one: nothing under
# the libraries includes the application's headers (app/), and nothing under
# platform/ includes anything of Flowtally outside platform/. Run as
#   cmake -DROOT=<source tree> -P Layering.cmake
cmake_minimum_required(VERSION 3.22)

# check(<folders> <forbidden include prefix> [<allowed prefix>])
function(check folders forbidden)
    foreach(folder IN LISTS folders)
        file(GLOB_RECURSE files ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h)
        foreach(file IN LISTS files)
            file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"${forbidden}")
            foreach(line IN LISTS includes)
                if(ARGC GREATER 2 AND line MATCHES "\"${ARGV2}")
                    continue()
                endif()
                file(RELATIVE_PATH shown ${ROOT} ${file})
                set_property(GLOBAL APPEND_STRING PROPERTY layering_faults "${shown}: ${line}\n")
            endforeach()
        endforeach()
    endforeach()
endfunction()

check("platform" "[A-Za-z]+/" "platform/")
check("WBLib;net;record;meter;history;charts;alerts;report" "app/")

get_property(faults GLOBAL PROPERTY layering_faults)
if(faults)
    message(FATAL_ERROR "A lower layer includes a higher one:\n${faults}")
endif()
