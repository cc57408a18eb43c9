# Fails unless the library's dynamic symbol table defines exactly the nine exports.
# Usage: cmake -DNM=<nm> -DLIBRARY=<path> -P check_exported_symbols.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE table RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${table}")
set(names)
foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
    list(APPEND names "${name}")
endforeach()
list(SORT names)
set(expected GetCountry GetImgNum GetMaker GetMediaInfo GetPluginAuthor GetPluginInfo
    GetPluginVersion GetSaveInfo GetTitle)
if(NOT names STREQUAL expected)
    message(FATAL_ERROR "dynamic symbols differ from the nine exports:\n${table}")
endif()
message(STATUS "exactly the nine exports are defined")
