# Test programs cross-built for Windows: GoogleTest compiled from Debian's source (package
# googletest) with the cross compiler, and every program run under Wine with Shift_JIS (code
# page 932) as the system's ANSI code page.

set(QBT_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(CMAKE_POLICY_DEFAULT_CMP0077 NEW)  # lets the two settings below reach GoogleTest's options
set(BUILD_GMOCK OFF)
set(INSTALL_GTEST OFF)
add_subdirectory(${QBT_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Beside the DLL, where Windows looks for it first.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

find_program(QBT_WINE wine REQUIRED)
find_program(QBT_WINEBOOT wineboot REQUIRED)
find_program(QBT_WINESERVER wineserver REQUIRED)
# Wine derives the ANSI code page from the locale, so ja_JP.UTF-8 (a system locale, generated
# with localedef where missing) gives 932. The prefix is the build's own, made once by the
# wine_prefix fixture.
set(QBT_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(QBT_WINE_ENVIRONMENT LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all WINEPREFIX=${QBT_WINE_PREFIX})
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env ${QBT_WINE_ENVIRONMENT} ${QBT_WINE})
# For test programs defined outside tests/ (bench/).
set(QBT_WINE_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR} CACHE INTERNAL "Runs a test program under Wine")

add_test(NAME wine_prefix
         COMMAND ${CMAKE_COMMAND} -DWINEBOOT=${QBT_WINEBOOT} -DWINESERVER=${QBT_WINESERVER}
                 -DPREFIX=${QBT_WINE_PREFIX}
                 "-DENVIRONMENT=${QBT_WINE_ENVIRONMENT}"
                 -P ${CMAKE_CURRENT_LIST_DIR}/create_wine_prefix.cmake)
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix)

# One test per program: GoogleTest reports each failing case in the output, and Wine's start-up
# is paid once per program rather than once per case.
function(qbt_add_wine_test target)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wine_prefix)
endfunction()
