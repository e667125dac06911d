# Installs the build into a scratch prefix and checks that it holds exactly the
# programs, the desktop entry, the icons and the man pages, each where the
# desktop and man look for them, and that the installed programs start.
# cmake -DBUILD_DIR=... -DWORK_DIR=... -DICON_SIZES=... -DMAN_PAGES=... -P check-install.cmake
cmake_minimum_required(VERSION 3.25)

set(prefix ${WORK_DIR}/usr)
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}")
endif()

set(programs tavrix tavrix-pvrd tavrix-pvr tavrix-convert)
set(expected share/applications/tavrix.desktop share/icons/hicolor/scalable/apps/tavrix.svg)
foreach(program ${programs})
    list(APPEND expected bin/${program})
endforeach()
foreach(size ${ICON_SIZES})
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/tavrix.png)
endforeach()
foreach(page ${MAN_PAGES})
    list(APPEND expected share/man/man1/${page}.1.gz)
endforeach()

file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
list(SORT installed)
list(SORT expected)
set(missing ${expected})
list(REMOVE_ITEM missing ${installed})
set(extra ${installed})
list(REMOVE_ITEM extra ${expected})
if(missing OR extra)
    message(FATAL_ERROR "install tree differs\nmissing: ${missing}\nunexpected: ${extra}")
endif()

# Each PNG is as big as the folder it sits in says (IHDR width and height).
foreach(size ${ICON_SIZES})
    file(READ ${prefix}/share/icons/hicolor/${size}x${size}/apps/tavrix.png header
         LIMIT 24 HEX)
    string(SUBSTRING "${header}" 0 16 signature)
    string(SUBSTRING "${header}" 32 8 width)
    string(SUBSTRING "${header}" 40 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT width EQUAL size OR NOT height EQUAL size)
        message(FATAL_ERROR "${size}x${size}/apps/tavrix.png is not a ${size}x${size} PNG "
                            "(${width}x${height})")
    endif()
endforeach()

# The desktop entry starts an installed program and names the installed icon.
file(STRINGS ${prefix}/share/applications/tavrix.desktop entry)
list(FILTER entry INCLUDE REGEX "^(Exec|Icon)=")
string(REGEX MATCH "Exec=([^ ;]+)" _ "${entry}")
set(exec ${CMAKE_MATCH_1})
string(REGEX MATCH "Icon=([^ ;]+)" _ "${entry}")
set(icon ${CMAKE_MATCH_1})
if(NOT EXISTS ${prefix}/bin/${exec} OR NOT EXISTS ${prefix}/share/icons/hicolor/48x48/apps/${icon}.png)
    message(FATAL_ERROR "the desktop entry names Exec=${exec} Icon=${icon}, which were not installed")
endif()

# The command-line programs run from where they were installed and know their name.
foreach(program tavrix-pvrd tavrix-pvr tavrix-convert)
    execute_process(COMMAND ${prefix}/bin/${program} --help
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT out MATCHES "usage: ${program} ")
        message(FATAL_ERROR "installed ${program} did not print its usage (${rc}):\n${out}")
    endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
