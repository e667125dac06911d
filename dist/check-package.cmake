# Makes the Debian package from the build and checks it: it depends on the Qt 6
# runtime, and it holds exactly what an install puts under /usr.
# cmake -DBUILD_DIR=... -DWORK_DIR=... -DDPKG_DEB=... -P check-package.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -G DEB -B ${WORK_DIR}/package
                WORKING_DIRECTORY ${BUILD_DIR}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(GLOB debs ${WORK_DIR}/package/*.deb)
list(LENGTH debs count)
if(NOT rc EQUAL 0 OR NOT count EQUAL 1)
    message(FATAL_ERROR "cpack made ${count} packages (${rc}):\n${out}")
endif()

execute_process(COMMAND ${DPKG_DEB} --field ${debs} Package Depends Recommends
                RESULT_VARIABLE rc OUTPUT_VARIABLE fields ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb cannot read ${debs}: ${err}")
endif()
string(REGEX MATCH "Depends: [^\n]*" depends "${fields}")
foreach(needed libqt6core6 libqt6gui6 libqt6widgets6)
    if(NOT depends MATCHES "[ ,]${needed}( |,|$)")
        message(FATAL_ERROR "the package does not depend on ${needed}:\n${fields}")
    endif()
endforeach()
if(NOT fields MATCHES "Package: tavrix\n" OR NOT fields MATCHES "Recommends: ffmpeg")
    message(FATAL_ERROR "unexpected package fields:\n${fields}")
endif()

# Its files are those of an install to /usr.
execute_process(COMMAND ${DPKG_DEB} --extract ${debs} ${WORK_DIR}/root RESULT_VARIABLE rc)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/install/usr
                RESULT_VARIABLE installRc OUTPUT_QUIET)
if(NOT rc EQUAL 0 OR NOT installRc EQUAL 0)
    message(FATAL_ERROR "cannot unpack the package (${rc}) or install the build (${installRc})")
endif()
file(GLOB_RECURSE packaged RELATIVE ${WORK_DIR}/root ${WORK_DIR}/root/*)
file(GLOB_RECURSE installed RELATIVE ${WORK_DIR}/install ${WORK_DIR}/install/*)
list(SORT packaged)
list(SORT installed)
if(NOT packaged STREQUAL installed)
    message(FATAL_ERROR "package and install differ\npackage: ${packaged}\ninstall: ${installed}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
