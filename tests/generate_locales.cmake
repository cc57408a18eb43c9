# Builds the locales the tests need into DIR with localedef (Debian package "locales").
# Usage: cmake -DDIR=<dir> -P generate_locales.cmake
foreach(locale "SHIFT_JIS;ja_JP.SJIS;ja_JP" "UTF-8;ja_JP.UTF-8;ja_JP"
               "ISO-8859-9;tr_TR.ISO-8859-9;tr_TR")
    list(GET locale 0 charmap)
    list(GET locale 1 name)
    list(GET locale 2 source)
    if(EXISTS ${DIR}/${name}/LC_CTYPE)
        continue()
    endif()
    file(MAKE_DIRECTORY ${DIR})
    # --no-warnings=ascii: Shift_JIS puts the yen sign at 0x5C, which localedef warns about.
    execute_process(COMMAND localedef --no-warnings=ascii -c -f ${charmap} -i ${source}
                            ${DIR}/${name}
                    RESULT_VARIABLE status ERROR_VARIABLE errors)
    if(NOT EXISTS ${DIR}/${name}/LC_CTYPE)
        message(FATAL_ERROR "localedef could not build ${name} (status ${status}); install the "
                            "'locales' package.\n${errors}")
    endif()
endforeach()
