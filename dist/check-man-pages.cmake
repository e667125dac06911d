# Checks each command-line program's man page against the usage the program
# prints: every option and command of the usage is in the page, and every option
# the page names is in the usage (--help only where the program takes it).
# cmake "-DPROGRAMS=path;path" -DMAN_DIR=... -P check-man-pages.cmake
cmake_minimum_required(VERSION 3.25)

set(failures)
foreach(path ${PROGRAMS})
    get_filename_component(program ${path} NAME)
    execute_process(COMMAND ${path} --help
                    RESULT_VARIABLE helpRc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    set(text "${out}${err}")
    string(FIND "${text}" "usage: ${program}" start)
    if(start LESS 0)
        message(FATAL_ERROR "${program} --help printed no usage:\n${text}")
    endif()
    string(SUBSTRING "${text}" ${start} -1 usage)
    file(READ ${MAN_DIR}/${program}.1 page)

    string(REGEX MATCHALL "--[a-z][a-z-]*" usageOptions "${usage}")
    list(REMOVE_DUPLICATES usageOptions)
    # roff writes a hyphen as \-.
    string(REGEX MATCHALL "\\\\-\\\\-[a-z]([a-z]|\\\\-)*" pageOptions "${page}")
    string(REPLACE "\\-" "-" pageOptions "${pageOptions}")
    list(REMOVE_DUPLICATES pageOptions)
    foreach(option ${usageOptions})
        if(NOT option IN_LIST pageOptions)
            list(APPEND failures "${program}.1 lacks ${option}")
        endif()
    endforeach()

    # Commands: the indented lines of the usage that begin with a plain word.
    string(REGEX MATCHALL "\n  [a-z]+ " commands "${usage}")
    foreach(command ${commands})
        string(STRIP "${command}" command)
        if(NOT page MATCHES "\n\\.BI? ${command}[ \n]")
            list(APPEND failures "${program}.1 lacks the command ${command}")
        endif()
    endforeach()

    foreach(option ${pageOptions})
        if(option STREQUAL "--help" AND helpRc EQUAL 0)
            continue()
        endif()
        if(NOT option IN_LIST usageOptions)
            list(APPEND failures "${program}.1 names ${option}, which ${program} does not take")
        endif()
    endforeach()
endforeach()
if(failures)
    list(JOIN failures "\n" failures)
    message(FATAL_ERROR "man pages and usage differ:\n${failures}")
endif()
