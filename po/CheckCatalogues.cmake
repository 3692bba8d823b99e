# Fails unless the catalogue is whole: every text the sources mark for it (_, N_, P_) is in
# every po/LANG.po and no catalogue holds a text they do not mark; every language but the
# program's own (the first) translates every text; and no production source holds a Czech
# text outside the catalogue (a literal with Czech letters or quotes that is not marked).
# Touches STAMP when it holds.
set(keywords -k_ -kN_ -kP_:1,2)
set(pot ${DIR}/trilo.pot)
execute_process(COMMAND ${XGETTEXT} -C --from-code=UTF-8 ${keywords} --no-wrap --sort-by-file
                        --add-comments=TRANSLATORS: --package-name=trilo-programmer
                        -f ${DIR}/sources.txt -o ${pot}
                WORKING_DIRECTORY ${SOURCE} RESULT_VARIABLE failed ERROR_VARIABLE errors)
if(failed)
    message(FATAL_ERROR "xgettext: ${errors}")
endif()

set(problems "")
list(GET LANGUAGES 0 own)
foreach(lang IN LISTS LANGUAGES)
    set(po ${SOURCE}/po/${lang}.po)
    execute_process(COMMAND ${MSGCMP} --use-untranslated ${po} ${pot}
                    RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(failed OR out MATCHES "not used")
        string(APPEND problems "po/${lang}.po and the texts the sources mark differ "
               "(msgmerge --update --no-wrap po/${lang}.po ${pot}):\n${out}\n")
    endif()
    execute_process(COMMAND ${MSGFMT} --check --statistics -o /dev/null ${po}
                    RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(failed OR out MATCHES "fuzzy" OR (NOT lang STREQUAL own AND out MATCHES "untranslated"))
        string(APPEND problems "po/${lang}.po: ${out}\n")
    endif()
endforeach()

# Every literal, marked or not; those that are in the marked ones' file are the catalogue's.
# A plural's second form counts as marked: xgettext -a takes it for a text of its own.
execute_process(COMMAND ${XGETTEXT} -a -C --from-code=UTF-8 ${keywords} --no-wrap
                        -f ${DIR}/sources.txt -o ${DIR}/all.pot
                WORKING_DIRECTORY ${SOURCE} RESULT_VARIABLE failed ERROR_VARIABLE errors)
execute_process(COMMAND ${MSGCOMM} --less-than=2 --no-wrap -o ${DIR}/unmarked.pot
                        ${DIR}/all.pot ${pot}
                RESULT_VARIABLE failed ERROR_VARIABLE errors)
execute_process(COMMAND ${MSGGREP} --msgid -E -e "[ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽáčďéěíňóřšťúůýž„“]"
                        --no-wrap -o ${DIR}/czech.pot ${DIR}/unmarked.pot
                RESULT_VARIABLE failed ERROR_VARIABLE errors)
# The lines of a file as a list, its semicolons kept apart from the list's.
function(lines_of file variable)
    file(READ ${file} text)
    string(REPLACE ";" "<semicolon>" text "${text}")
    string(REPLACE "\n" ";" text "${text}")
    set(${variable} "${text}" PARENT_SCOPE)
endfunction()
lines_of(${pot} potLines)
set(plurals "")
foreach(line IN LISTS potLines)
    if(line MATCHES "^msgid_plural ")
        list(APPEND plurals "${line}")
    endif()
endforeach()
set(refs "")
set(outside 0)
if(EXISTS ${DIR}/czech.pot)
    lines_of(${DIR}/czech.pot lines)
    foreach(line IN LISTS lines)
        if(line MATCHES "^#: ([^ ]+)")
            set(refs "${CMAKE_MATCH_1}")
        elseif(line MATCHES "^msgid (\".+\")$")
            list(FIND plurals "msgid_plural ${CMAKE_MATCH_1}" plural)
            if(plural EQUAL -1)
                string(REPLACE "<semicolon>" ";" text "${CMAKE_MATCH_1}")
                string(APPEND problems "${refs}: a Czech text outside the catalogue: ${text}\n")
                math(EXPR outside "${outside} + 1")
            endif()
        endif()
    endforeach()
endif()

if(outside GREATER 0)
    string(APPEND problems "${outside} Czech texts outside the catalogue: mark each _(...), or "
           "N_(...) where a table keeps it to be translated where it is shown\n")
endif()
if(NOT problems STREQUAL "")
    message(FATAL_ERROR "${problems}")
endif()
file(TOUCH ${STAMP})
