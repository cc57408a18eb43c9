# Creates the Wine prefix the Windows tests run in, unless it is there already.
# Usage: cmake -DWINEBOOT=<wineboot> -DWINESERVER=<wineserver> -DPREFIX=<dir>
#              -DENVIRONMENT=<VAR=value;...> -P create_wine_prefix.cmake
if(EXISTS ${PREFIX}/system.reg)
    return()
endif()
# wineboot returns before the prefix is complete; the registry files are written once the
# server has shut down. No Mono or Gecko is looked for: the tests need neither.
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${ENVIRONMENT} WINEDLLOVERRIDES=mscoree,mshtml=
                        ${WINEBOOT} --init
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${ENVIRONMENT} ${WINESERVER} --wait)
if(NOT EXISTS ${PREFIX}/system.reg)
    message(FATAL_ERROR "wineboot did not create the prefix ${PREFIX}")
endif()
