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
foreach(file bin/trilo-programmer bin/trilo-cli share/man/man1/trilo-cli.1
        share/doc/trilo-programmer/README.md
        share/doc/trilo-programmer/LICENSE share/doc/trilo-programmer/docs/window-avr.png)
    if(NOT EXISTS ${WORK}/usr/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
file(GLOB icons ${WORK}/usr/share/icons/hicolor/*x*/apps/trilo-programmer.png)
list(LENGTH icons count)
if(NOT count EQUAL 7)
    message(FATAL_ERROR "${count} icon sizes installed, not 7: ${icons}")
endif()
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
