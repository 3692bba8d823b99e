# Installs the build into a scratch prefix and packs it as the two Debian packages: the desktop
# must find the program, its menu entry and its icon, each package must hold its own files and
# name what it needs, and trilo-cli must need no Qt.
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
set(cli_files bin/trilo-cli share/man/man1/trilo-cli.1.gz
    share/doc/trilo-cli/copyright share/doc/trilo-cli/changelog.gz
    share/doc/trilo-cli/examples/blink-2313.hex share/doc/trilo-cli/examples/blink.trilo)
set(gui_files bin/trilo-programmer share/man/man1/trilo-programmer.1.gz
    share/doc/trilo-programmer/README.md
    share/doc/trilo-programmer/docs/window-avr.png share/doc/trilo-programmer/copyright
    share/doc/trilo-programmer/changelog.gz share/applications/trilo-programmer.desktop
    share/metainfo/org.example.trilo_programmer.metainfo.xml
    share/icons/hicolor/scalable/apps/trilo-programmer.svg)
foreach(file ${cli_files} ${gui_files})
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
# The types the program claims are the data files' own, which its MIME package defines, in
# the desktop entry and the AppStream file alike: a generic one (application/octet-stream)
# would offer it for every file of that type on the machine.
file(READ ${WORK}/usr/share/applications/trilo-programmer.desktop claimed)
string(REGEX MATCH "\nMimeType=([^\n]*[^;\n])" claimed "${claimed}")
set(claimed "${CMAKE_MATCH_1}")
file(READ ${WORK}/usr/share/mime/packages/trilo-programmer.xml defined)
string(REGEX MATCHALL "mime-type type=\"[^\"]+" defined "${defined}")
list(TRANSFORM defined REPLACE "^mime-type type=\"" "")
file(READ ${WORK}/usr/share/metainfo/org.example.trilo_programmer.metainfo.xml provided)
string(REGEX MATCHALL "<mediatype>[^<]+" provided "${provided}")
list(TRANSFORM provided REPLACE "^<mediatype>" "")
if(NOT claimed STREQUAL defined OR NOT provided STREQUAL defined)
    message(FATAL_ERROR "types claimed by the desktop entry (${claimed}) and the AppStream file "
                        "(${provided}) are not those the MIME package defines (${defined})")
endif()
# Nor does it name the folders it was built in (a path compiled in, debug information): the
# same source built in another folder gives the same program.
# A sanitizer build is not one to ship, and GCC 12's UndefinedBehaviorSanitizer keeps its
# source locations unmapped: it is not asked.
load_cache(${BUILD} READ_WITH_PREFIX built_ CMAKE_HOME_DIRECTORY TRILO_SANITIZE)
set(folders ${built_CMAKE_HOME_DIRECTORY} ${BUILD})
list(TRANSFORM folders REPLACE "([][+.*()^$?|\\])" "\\\\\\1")
list(JOIN folders "|" folders)
foreach(program trilo-cli trilo-programmer)
    run(readelf -S -W ${WORK}/usr/bin/${program})
    if(out MATCHES "\\.comment")
        message(FATAL_ERROR "${program} is installed with its .comment section")
    endif()
    file(STRINGS ${WORK}/usr/bin/${program} named REGEX "${folders}" LIMIT_COUNT 3)
    if(named AND NOT built_TRILO_SANITIZE)
        message(FATAL_ERROR "${program} names a folder it was built in: ${named}")
    endif()
endforeach()

# Each package: its files, none of the other's, and its dependencies. The window only
# recommends the command line.
run(cpack -G DEB --config ${BUILD}/CPackConfig.cmake -B ${WORK}/package)
foreach(case "trilo-cli;cli_files;gui_files;libc6;[Qq]t"
              "trilo-programmer;gui_files;cli_files;libqt6widgets6,qt6-translations-l10n;trilo-cli")
    list(GET case 0 package)
    list(GET case 1 own)
    list(GET case 2 other)
    list(GET case 3 needs)
    list(GET case 4 refused)
    file(GLOB deb ${WORK}/package/${package}_*.deb)
    if(NOT deb)
        message(FATAL_ERROR "no package ${package} in ${WORK}/package")
    endif()
    run(dpkg-deb --contents ${deb})
    foreach(file ${${own}})
        if(NOT out MATCHES " \\./usr/${file}\n")
            message(FATAL_ERROR "${package} lacks /usr/${file}:\n${out}")
        endif()
    endforeach()
    foreach(file ${${other}})
        if(out MATCHES " \\./usr/${file}\n")
            message(FATAL_ERROR "${package} holds the other package's /usr/${file}")
        endif()
    endforeach()
    run(dpkg-deb --field ${deb} Depends)
    string(REPLACE "," ";" needs "${needs}")
    foreach(need ${needs})
        if(NOT out MATCHES "${need}")
            message(FATAL_ERROR "${package} does not depend on ${need}: ${out}")
        endif()
    endforeach()
    if(out MATCHES "${refused}")
        message(FATAL_ERROR "${package} depends on ${refused}: ${out}")
    endif()
endforeach()
