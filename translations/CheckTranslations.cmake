# Fails when the sources hold a text that TS_FILE lacks or leaves unfinished: lupdate brings a
# copy of the file up to date with the sources, and every entry it marks unfinished is named.
get_filename_component(name ${TS_FILE} NAME)
file(MAKE_DIRECTORY ${WORK_DIR})
set(copy ${WORK_DIR}/${name})
configure_file(${TS_FILE} ${copy} COPYONLY)
execute_process(COMMAND ${LUPDATE} ${OPTIONS} @${SOURCES} -ts ${copy}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lupdate failed on ${name}:\n${output}")
endif()
file(READ ${copy} text)
string(REGEX MATCHALL "<source>[^<]*</source>[^<]*(<oldsource>[^<]*</oldsource>[^<]*)?(<comment>[^<]*</comment>[^<]*)?<translation type=\"unfinished\"" unfinished "${text}")
list(LENGTH unfinished count)
if(count GREATER 0)
    set(names "")
    foreach(entry ${unfinished})
        string(REGEX REPLACE "<source>([^<]*)</source>.*" "\\1" source "${entry}")
        string(APPEND names "  ${source}\n")
    endforeach()
    message(FATAL_ERROR "${name}: ${count} text(s) new or not translated; run the target "
                        "update_translations and translate them:\n${names}")
endif()
message(STATUS "${name}: every text translated")
