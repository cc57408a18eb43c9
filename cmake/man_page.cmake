# qbt.1.gz from qbt's own help: help2man turns `qbt --help` into the page, and each subcommand's
# --help becomes a section of it, so the page follows the tool's options as they change.
# The defaults that --help shows are this build tree's absolute paths; the page gives them as
# installed, relative to qbt's folder.
# Usage: cmake -DHELP2MAN= -DGZIP= -DQBT= -DVERSION= -DOUTPUT= -DPLUGIN_IN_BUILD_TREE=
#              -DLIST_IN_BUILD_TREE= -DPLUGIN_FROM_TOOL= -DLIST_FROM_TOOL= -DPLUGIN_INSTALLED=
#              -DLIST_INSTALLED= -P man_page.cmake

function(run_qbt output)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 ${QBT} ${ARGN}
                    OUTPUT_VARIABLE text RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "qbt ${ARGN} failed (${status})")
    endif()
    set(${output} "${text}" PARENT_SCOPE)
endfunction()

function(as_installed text output)
    cmake_path(NORMAL_PATH PLUGIN_IN_BUILD_TREE OUTPUT_VARIABLE plugin)
    cmake_path(NORMAL_PATH LIST_IN_BUILD_TREE OUTPUT_VARIABLE list)
    string(REPLACE "${plugin}" "${PLUGIN_FROM_TOOL}" text "${text}")
    string(REPLACE "${list}" "${LIST_FROM_TOOL}" text "${text}")
    set(${output} "${text}" PARENT_SCOPE)
endfunction()

# Help text as roff that keeps its lines: backslashes escaped, no line read as a request.
function(as_preformatted_roff text output)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${output} ".nf\n${text}.fi\n" PARENT_SCOPE)
endfunction()

get_filename_component(folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})

# The subcommands, from the "Subcommands:" list of the main help.
run_qbt(help --help)
string(REGEX MATCH "\nSubcommands:\n(([ \t]+[^\n]*\n?)+)" ignored "${help}")
# Each line that names one starts with two spaces; "\n" rather than "^", which MATCHALL would
# match again where the previous match ended.
string(REGEX MATCHALL "\n  [a-z][a-z-]*" subcommands "\n${CMAKE_MATCH_1}")
list(TRANSFORM subcommands STRIP)
if(NOT subcommands)
    message(FATAL_ERROR "no subcommands in qbt --help:\n${help}")
endif()

set(include_file ${folder}/qbt.h2m)
set(sections "[NAME]\nqbt \\- look ROMs up in a Quillbridge game list through the plug-in\n")
string(APPEND sections "[COMMANDS]\n")
foreach(subcommand IN LISTS subcommands)
    run_qbt(subcommand_help ${subcommand} --help)
    # The exit codes each subcommand's help repeats are in the page once already.
    string(FIND "${subcommand_help}" "\nExit codes:" footer)
    if(footer GREATER 0)
        string(SUBSTRING "${subcommand_help}" 0 ${footer} subcommand_help)
        string(APPEND subcommand_help "\n")
    endif()
    as_installed("${subcommand_help}" subcommand_help)
    as_preformatted_roff("${subcommand_help}" subcommand_help)
    string(APPEND sections ".SS ${subcommand}\n${subcommand_help}")
endforeach()
string(APPEND sections "[FILES]
.TP
.I /usr/${PLUGIN_INSTALLED}
The plug-in loaded unless \\fB\\-\\-plugin\\fR names another. qbt looks for it at
.I ${PLUGIN_FROM_TOOL}
from its own folder, so it is found under any installation prefix.
.TP
.I /usr/${LIST_INSTALLED}
The sample game list read unless \\fB\\-\\-list\\fR names another, found the same way
.RI ( ${LIST_FROM_TOOL} ).
")
file(WRITE ${include_file} "${sections}")

get_filename_component(page ${OUTPUT} NAME_WLE)
set(page ${folder}/${page})
execute_process(
    COMMAND ${HELP2MAN} --no-info --section=1 --version-string=${VERSION}
            --include=${include_file} --output=${page} ${QBT}
    RESULT_VARIABLE status ERROR_VARIABLE error)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "help2man failed: ${error}")
endif()
file(READ ${page} roff)
as_installed("${roff}" roff)
file(WRITE ${page} "${roff}")
# -n: no name or time stamp inside, so the same build makes the same file.
execute_process(COMMAND ${GZIP} -9nf ${page} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${page}")
endif()
