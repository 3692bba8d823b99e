# The message catalogue: po/LANG.po for every language the program speaks, the program's own
# (Czech, whose texts are the msgids) first. Each is checked and compiled by msgfmt and
# embedded in the base library, so the program needs no file at run time. A new language is
# its .po file and its code in TRILO_LANGUAGES.
set(TRILO_LANGUAGES cs en)

find_program(TRILO_MSGFMT msgfmt REQUIRED)
find_program(TRILO_XGETTEXT xgettext REQUIRED)
find_program(TRILO_MSGCMP msgcmp REQUIRED)
find_program(TRILO_MSGCOMM msgcomm REQUIRED)
find_program(TRILO_MSGGREP msggrep REQUIRED)

set(TRILO_PO_OUT ${CMAKE_CURRENT_BINARY_DIR}/po)
set(TRILO_MO_FILES)
foreach(lang IN LISTS TRILO_LANGUAGES)
    add_custom_command(OUTPUT ${TRILO_PO_OUT}/${lang}.mo
        COMMAND ${CMAKE_COMMAND} -E make_directory ${TRILO_PO_OUT}
        COMMAND ${TRILO_MSGFMT} --check -o ${TRILO_PO_OUT}/${lang}.mo
                ${CMAKE_CURRENT_SOURCE_DIR}/po/${lang}.po
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/po/${lang}.po
        COMMENT "Checking and compiling the ${lang} catalogue"
        VERBATIM)
    list(APPEND TRILO_MO_FILES ${TRILO_PO_OUT}/${lang}.mo)
endforeach()

set(TRILO_CATALOGUES_CPP ${TRILO_PO_OUT}/Catalogues.cpp)
add_custom_command(OUTPUT ${TRILO_CATALOGUES_CPP}
    COMMAND ${CMAKE_COMMAND} "-DLANGUAGES=${TRILO_LANGUAGES}" -DDIR=${TRILO_PO_OUT}
            -DOUT=${TRILO_CATALOGUES_CPP} -P ${CMAKE_CURRENT_SOURCE_DIR}/po/EmbedCatalogues.cmake
    DEPENDS ${TRILO_MO_FILES} ${CMAKE_CURRENT_SOURCE_DIR}/po/EmbedCatalogues.cmake
    VERBATIM)

# The check that keeps the catalogue whole: every text the sources mark is in every catalogue
# and no catalogue holds one they do not, the English one translates all, and no production
# source holds a Czech text outside the catalogue. The build fails when it does not hold.
file(GLOB_RECURSE TRILO_TEXT_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_SOURCE_DIR}/base/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/base/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/devices/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/devices/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/files/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/files/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/formats/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/formats/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/settings/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/settings/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/link/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/link/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/sim/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/sim/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/ops/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ops/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/commands/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/commands/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/board/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/board/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/engine/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/engine/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/production/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/production/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/presenter/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/presenter/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/cli/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/cli/*.h
     ${CMAKE_CURRENT_SOURCE_DIR}/app/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/app/*.h)
set(TRILO_CATALOGUE_CHECKED ${TRILO_PO_OUT}/checked.stamp)
set(TRILO_TEXT_SOURCE_LIST "")
foreach(source IN LISTS TRILO_TEXT_SOURCES)
    file(RELATIVE_PATH relative ${CMAKE_CURRENT_SOURCE_DIR} ${source})
    string(APPEND TRILO_TEXT_SOURCE_LIST "${relative}\n")
endforeach()
file(WRITE ${TRILO_PO_OUT}/sources.txt "${TRILO_TEXT_SOURCE_LIST}")
set(TRILO_PO_FILES)
foreach(lang IN LISTS TRILO_LANGUAGES)
    list(APPEND TRILO_PO_FILES ${CMAKE_CURRENT_SOURCE_DIR}/po/${lang}.po)
endforeach()
add_custom_command(OUTPUT ${TRILO_CATALOGUE_CHECKED}
    COMMAND ${CMAKE_COMMAND} -DXGETTEXT=${TRILO_XGETTEXT} -DMSGCMP=${TRILO_MSGCMP}
            -DMSGFMT=${TRILO_MSGFMT} -DMSGCOMM=${TRILO_MSGCOMM} -DMSGGREP=${TRILO_MSGGREP}
            -DSOURCE=${CMAKE_CURRENT_SOURCE_DIR} -DDIR=${TRILO_PO_OUT}
            "-DLANGUAGES=${TRILO_LANGUAGES}" -DSTAMP=${TRILO_CATALOGUE_CHECKED}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/po/CheckCatalogues.cmake
    DEPENDS ${TRILO_TEXT_SOURCES} ${TRILO_PO_FILES}
            ${CMAKE_CURRENT_SOURCE_DIR}/po/CheckCatalogues.cmake
    COMMENT "Checking that the catalogue holds every text"
    VERBATIM)
option(TRILO_CATALOGUE_CHECK "Fail the build when the catalogue is not whole" ON)
if(TRILO_CATALOGUE_CHECK)
    add_custom_target(trilo_catalogue_check ALL DEPENDS ${TRILO_CATALOGUE_CHECKED})
else()
    add_custom_target(trilo_catalogue_check DEPENDS ${TRILO_CATALOGUE_CHECKED})
endif()
