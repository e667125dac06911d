# tavrix-convert: converts a PVR recording to an MPEG-2 program stream.
add_library(tavrix_console_user STATIC ${CMAKE_CURRENT_LIST_DIR}/consoleuser.cpp)
target_link_libraries(tavrix_console_user PUBLIC platform_core)

add_executable(tavrix-convert ${CMAKE_CURRENT_LIST_DIR}/tavrix-convert.cpp)
target_link_libraries(tavrix-convert PRIVATE stream core tavrix_console_user)
# Timed against cat: with the C++ runtime linked in, the dynamic loader has a
# millisecond less to do at every start. Not under the sanitizers, whose
# runtime has to see the C++ library's allocation functions.
if(NOT TAVRIX_SANITIZE)
    target_link_options(tavrix-convert PRIVATE -static-libstdc++ -static-libgcc)
endif()
