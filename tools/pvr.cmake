# tavrix-pvr: the device CLI, on the device library and the transfer engine.
add_executable(tavrix-pvr ${CMAKE_CURRENT_LIST_DIR}/tavrix-pvr.cpp)
target_link_libraries(tavrix-pvr PRIVATE transfer device core)
