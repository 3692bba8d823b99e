# Installs the build into a scratch prefix and packs it as a Debian package: the desktop must
# find the program, its menu entry and its icon, and the package must name what it needs.
# Run by CTest: cmake -DBUILD=<build dir> -DWORK=<scratch dir> -P InstallCheck.cmake
file(REMOVE_RECURSE ${WORK})

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${ARGN} failed:\n${out}")
    endif()
    set(out "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/usr)
foreach(file bin/trilo-programmer share/doc/trilo-programmer/README.md
        share/doc/trilo-programmer/LICENSE share/doc/trilo-programmer/docs/window-avr.png)
    if(NOT EXISTS ${WORK}/usr/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
# Each icon is as large as its folder says: the PNG header holds width and height at byte 16.
foreach(size 16 24 32 48 64 128 256)
    file(READ ${WORK}/usr/share/icons/hicolor/${size}x${size}/apps/trilo-programmer.png header
         HEX OFFSET 16 LIMIT 8)
    string(SUBSTRING "${header}" 0 8 width)
    string(SUBSTRING "${header}" 8 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(NOT width EQUAL size OR NOT height EQUAL size)
        message(FATAL_ERROR "the ${size} pixel icon is ${width} x ${height}")
    endif()
endforeach()
# desktop-file-validate prints hints and errors alike: neither may appear.
run(desktop-file-validate ${WORK}/usr/share/applications/trilo-programmer.desktop)
if(NOT out STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate: ${out}")
endif()

run(cpack -G DEB --config ${BUILD}/CPackConfig.cmake -B ${WORK}/package)
file(GLOB deb ${WORK}/package/*.deb)
run(dpkg-deb --field ${deb} Depends)
if(NOT out MATCHES "libqt6widgets6" OR NOT out MATCHES "qt6-translations-l10n")
    message(FATAL_ERROR "the package's Depends lack Qt or its translations: ${out}")
endif()
