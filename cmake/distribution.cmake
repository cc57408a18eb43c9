# `cmake --install` and `cpack`: what users receive on each platform.
#   Windows: the ZIP of the DLL (the one file the host needs), qbt.exe and the read-me.
#   Linux:   a .deb and a .tar.gz of the plug-in, qbt with its man page, the sample list, the
#            header and a pkg-config file for hosts written against the library.
# The folders are those of cmake/install_layout.cmake, which qbt is built to look in.

set(CPACK_PACKAGE_VENDOR "${QBT_AUTHOR_CREDIT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    qbt_add_version_resource(Quillbridge_to_Tamberlow "${PROJECT_DESCRIPTION}")
    qbt_add_version_resource(qbt "qbt: looks ROMs up in a game list through the plug-in")

    # The import library is only for linking tests against the DLL.
    install(TARGETS Quillbridge_to_Tamberlow qbt RUNTIME DESTINATION . ARCHIVE EXCLUDE_FROM_ALL)
    configure_file(packaging/README.txt ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)

    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win32)
    include(CPack)
    return()
endif()

install(TARGETS Quillbridge_to_Tamberlow LIBRARY DESTINATION ${QBT_INSTALL_PLUGIN_DIR})
install(TARGETS qbt RUNTIME DESTINATION ${QBT_INSTALL_TOOL_DIR})
install(FILES examples/games.xml DESTINATION ${QBT_INSTALL_DATA_DIR})
install(FILES plugin/exports.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${PROJECT_NAME})
# Completion of qbt's commands, options and pattern fields, which bash-completion loads on demand.
install(FILES packaging/qbt.bash-completion RENAME qbt
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Relocatable: the prefix is worked out from where pkg-config finds the file, so one file serves
# the .deb, the tarball unpacked anywhere and `cmake --install --prefix`.
file(RELATIVE_PATH QBT_PREFIX_FROM_PKGCONFIG /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" QBT_PREFIX_FROM_PKGCONFIG "${QBT_PREFIX_FROM_PKGCONFIG}")
configure_file(cmake/Quillbridge_to_Tamberlow.pc.in ${CMAKE_BINARY_DIR}/${PROJECT_NAME}.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${PROJECT_NAME}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Debian's man pages and changelogs are compressed, without a name or time stamp inside.
find_program(QBT_GZIP gzip REQUIRED)

if(QBT_BUILD_MAN_PAGE)
    find_program(QBT_HELP2MAN help2man)
    if(NOT QBT_HELP2MAN)
        message(FATAL_ERROR "help2man makes qbt's man page: install the package help2man "
                            "(bash scripts/run-tests.sh does), or configure with "
                            "-DQBT_BUILD_MAN_PAGE=OFF to build without it.")
    endif()
    set(man_page ${CMAKE_BINARY_DIR}/man/qbt.1.gz)
    add_custom_command(
        OUTPUT ${man_page}
        COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${QBT_HELP2MAN} -DGZIP=${QBT_GZIP}
                -DQBT=$<TARGET_FILE:qbt> -DVERSION=${PROJECT_VERSION} -DOUTPUT=${man_page}
                -DPLUGIN_IN_BUILD_TREE=$<TARGET_FILE:Quillbridge_to_Tamberlow>
                -DLIST_IN_BUILD_TREE=${PROJECT_SOURCE_DIR}/examples/games.xml
                -DPLUGIN_FROM_TOOL=${QBT_PLUGIN_FROM_INSTALLED_TOOL}
                -DLIST_FROM_TOOL=${QBT_LIST_FROM_INSTALLED_TOOL}
                -DPLUGIN_INSTALLED=${QBT_INSTALL_PLUGIN_DIR}/$<TARGET_FILE_NAME:Quillbridge_to_Tamberlow>
                -DLIST_INSTALLED=${QBT_INSTALL_DATA_DIR}/games.xml
                -P ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
        DEPENDS qbt Quillbridge_to_Tamberlow ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
        COMMENT "Making qbt's man page from its --help"
        VERBATIM)
    add_custom_target(qbt_man_page ALL DEPENDS ${man_page})
    install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

if(QBT_BUILD_TESTS)
    add_test(NAME installed_tool
             COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                     -DPREFIX=${CMAKE_BINARY_DIR}/installed_tool_test
                     -DMAN_PAGE=${QBT_BUILD_MAN_PAGE}
                     -P ${PROJECT_SOURCE_DIR}/tests/check_installed_tool.cmake)
endif()

# Debian wants the copyright statement and the changelog beside every package's documentation.
# The changelog's newest entry names the version being packaged.
set(QBT_DEBIAN_NAME quillbridge-to-tamberlow)
set(package_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${QBT_DEBIAN_NAME})
file(STRINGS packaging/debian/changelog newest_entry LIMIT_COUNT 1)
if(NOT newest_entry MATCHES "^${QBT_DEBIAN_NAME} \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/debian/changelog: its newest entry is '${newest_entry}'; "
                        "add one for version ${PROJECT_VERSION}")
endif()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
    OUTPUT ${changelog}
    COMMAND ${QBT_GZIP} -9n --stdout ${PROJECT_SOURCE_DIR}/packaging/debian/changelog > ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
add_custom_target(qbt_changelog ALL DEPENDS ${changelog})
# The project's statement, then what qbt is built with that Debian does not ship as a library.
file(READ packaging/debian/copyright copyright)
file(READ ${QBT_SEVENZIP_SDK_NOTICE} sevenzip_sdk_notice)
file(WRITE ${CMAKE_BINARY_DIR}/packaging/copyright "${copyright}\n${sevenzip_sdk_notice}")
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright ${changelog} DESTINATION ${package_doc_dir})

set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_DEBIAN_PACKAGE_NAME ${QBT_DEBIAN_NAME})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QBT_AUTHOR_NAME} <${QBT_AUTHOR_NAME}@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The long description below the summary line.
set(CPACK_PACKAGE_DESCRIPTION "Answers a ROM renamer's questions about a ROM (publisher, title,
save type, media, region, release number) from a Quillbridge XML game list,
found by the ROM's checksum. The package holds the plug-in library with its
header and pkg-config file, and qbt, which looks ROMs up in a list from the
command line.")
# Run-time dependencies read from the binaries by dpkg-shlibdeps (package dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
include(CPack)
