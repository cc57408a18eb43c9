# qbt.exe's archive libraries (collection/): libarchive, libzip, liblzma and bzip2 cross-built
# from Debian 12's source packages by windows_archive_libraries.sh into the build tree, once per
# build folder, at configure time, so that find and link see finished files; zlib is Debian's
# libz-mingw-w64-dev. Defines qbt_archive_libraries, as the native build does from pkg-config,
# and puts the versions and licence texts into the Windows ZIP.
#
# The build takes about two minutes on two cores. Removing the folder builds them again with the
# current Debian 12 versions.

include(${CMAKE_CURRENT_LIST_DIR}/debian_sources.cmake)
set(archive_libraries ${CMAKE_BINARY_DIR}/archive-libraries)
set(archive_install ${archive_libraries}/install)
set(build_script ${CMAKE_CURRENT_LIST_DIR}/windows_archive_libraries.sh)
# Built again when the scripts change: the libraries would differ.
file(SHA256 ${build_script} script_hash)
file(SHA256 ${CMAKE_CURRENT_LIST_DIR}/debian_sources.sh fetch_hash)
string(SHA256 script_hash "${script_hash}${fetch_hash}")
set(stamp ${archive_install}/built-by-${script_hash})
if(NOT EXISTS ${stamp})
    message(STATUS "Cross-building the archive libraries from Debian's sources "
                   "(log: ${archive_libraries}.log)")
    execute_process(
        COMMAND bash ${build_script} ${archive_libraries} ${CMAKE_TOOLCHAIN_FILE}
                ${QBT_DEBIAN_MIRROR} ${QBT_DEBIAN_SECURITY_MIRROR} 2
        OUTPUT_FILE ${archive_libraries}.log ERROR_FILE ${archive_libraries}.log
        RESULT_VARIABLE status)
    file(READ ${archive_libraries}.log log)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "The archive libraries could not be built:\n${log}")
    endif()
    message(STATUS "${log}")
    file(TOUCH ${stamp})
else()
    file(READ ${archive_install}/versions.txt versions)
    message(STATUS "Archive libraries built before:\n${versions}")
endif()

set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
# Each static library with what it needs, so that the linker meets them in an order that works.
function(qbt_archive_library name)
    add_library(qbt_archive_lib${name} STATIC IMPORTED)
    set_target_properties(qbt_archive_lib${name} PROPERTIES
        IMPORTED_LOCATION ${archive_install}/lib/lib${name}.a INTERFACE_LINK_LIBRARIES "${ARGN}")
endfunction()
qbt_archive_library(bz2)
qbt_archive_library(lzma)
qbt_archive_library(zip qbt_archive_libbz2 ZLIB::ZLIB)
qbt_archive_library(archive qbt_archive_liblzma qbt_archive_libbz2 ZLIB::ZLIB)
add_library(qbt_archive_libraries INTERFACE)
target_include_directories(qbt_archive_libraries SYSTEM INTERFACE ${archive_install}/include)
# Static: their headers would otherwise declare every function imported from a DLL.
target_compile_definitions(qbt_archive_libraries INTERFACE LIBARCHIVE_STATIC ZIP_STATIC
                                                           LZMA_API_STATIC)
target_link_libraries(qbt_archive_libraries INTERFACE qbt_archive_libarchive qbt_archive_libzip
                                                      ZLIB::ZLIB)

# With Windows line ends, for Notepad, like the read-me; the 7z header reader's library too.
file(READ ${archive_install}/licences.txt licences)
file(READ ${QBT_SEVENZIP_SDK_NOTICE} sevenzip_sdk_notice)
string(APPEND licences "\n\n==== LZMA SDK (7z header reader) ====\n\n${sevenzip_sdk_notice}")
string(REPLACE "\n" "\r\n" licences "${licences}")
file(WRITE ${CMAKE_BINARY_DIR}/qbt-libraries.txt "${licences}")
install(FILES ${CMAKE_BINARY_DIR}/qbt-libraries.txt DESTINATION .)
