# Runs lintian on the packages the install test made, and appstreamcli on the window's AppStream
# file it installed; either tool that is not installed is skipped, and says so.
# Run by CTest after the install test: cmake -DWORK=<its scratch dir> -P PackageLint.cmake
# A sanitizer build, which leaves out the fortified functions, is not one to ship.
if(SANITIZE)
    message("SKIPPED: a sanitizer build is not packaged")
    return()
endif()
find_program(LINTIAN lintian)
find_program(APPSTREAMCLI appstreamcli)
if(NOT LINTIAN AND NOT APPSTREAMCLI)
    message("SKIPPED: neither lintian nor appstreamcli is installed")
    return()
endif()

if(LINTIAN)
    file(GLOB debs ${WORK}/package/*.deb)
    # Any tag fails: errors, warnings, pedantic and informational ones alike, but for one.
    # spelling-error-in-binary checks the programs' strings against an English word list, and
    # the programs speak Czech ("procesor"), while the compiler may lay a string out in pieces
    # that read as English misspellings ("programm"); it is shown, and does not fail.
    execute_process(COMMAND ${LINTIAN} -E -I --pedantic ${debs}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    string(REGEX REPLACE "(^|\n)I: [^ ]+: spelling-error-in-binary [^\n]*" "" judged "${out}")
    if(NOT out STREQUAL judged)
        message("lintian, shown and not counted:\n${out}")
    endif()
    if(NOT rc EQUAL 0 OR judged MATCHES "(^|\n)[EWIPX]: ")
        message(FATAL_ERROR "lintian:\n${out}")
    endif()
else()
    message("lintian is not installed: the packages were not checked")
endif()

if(APPSTREAMCLI)
    file(GLOB metainfo ${WORK}/usr/share/metainfo/*.metainfo.xml)
    execute_process(COMMAND ${APPSTREAMCLI} validate --no-net --pedantic ${metainfo}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0 OR NOT out MATCHES "Validation was successful")
        message(FATAL_ERROR "appstreamcli validate:\n${out}")
    endif()
else()
    message("appstreamcli is not installed: the AppStream file was not checked")
endif()
