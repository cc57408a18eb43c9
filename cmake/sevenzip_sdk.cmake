# The 7z header reader's library (tools/collection/sevenzip_header): the 7z reader of the LZMA
# SDK's C code, from Debian 12's source package 7zip, whose C/ folder Debian's repack leaves as
# it is and whose files each say they are in the public domain. No binary package ships it, so
# debian_sources.sh fetches the source once per build folder at configure time, and it is built
# here unchanged, with the build's own compiler (natively, or with mingw-w64 for qbt.exe).
# Defines qbt_sevenzip_sdk, and QBT_SEVENZIP_SDK_NOTICE: a text that names its version and
# licence, for the .deb's copyright file and the Windows ZIP. Removing the folder fetches the
# current Debian 12 version again.

include(${CMAKE_CURRENT_LIST_DIR}/debian_sources.cmake)
set(sevenzip_sdk ${CMAKE_BINARY_DIR}/sevenzip-sdk)
set(fetch_script ${CMAKE_CURRENT_LIST_DIR}/debian_sources.sh)
file(SHA256 ${fetch_script} fetch_hash)
set(stamp ${sevenzip_sdk}/fetched-by-${fetch_hash})
if(NOT EXISTS ${stamp})
    file(REMOVE_RECURSE ${sevenzip_sdk})
    message(STATUS "Fetching the LZMA SDK from Debian's source package 7zip")
    execute_process(
        COMMAND bash ${fetch_script} ${sevenzip_sdk} ${QBT_DEBIAN_MIRROR}
                ${QBT_DEBIAN_SECURITY_MIRROR} ${sevenzip_sdk}/version.txt 7zip
        OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "The source package 7zip could not be fetched:\n${log}")
    endif()
    file(TOUCH ${stamp})
endif()
file(READ ${sevenzip_sdk}/version.txt sdk_version)
string(STRIP "${sdk_version}" sdk_version)
message(STATUS "7z header reader: the LZMA SDK's C code of ${sdk_version}")

set(sdk_source ${sevenzip_sdk}/sources/7zip/C)
# What reading a header takes: the archive database, its CRC-32, the streams, and the decoders a
# packed header may use (LZMA, LZMA2, and the branch and delta filters).
set(sdk_files 7zArcIn 7zBuf 7zCrc 7zCrcOpt 7zDec 7zStream CpuArch LzmaDec Lzma2Dec Bcj2 Bra Bra86
              BraIA64 Delta)
list(TRANSFORM sdk_files PREPEND ${sdk_source}/)
list(TRANSFORM sdk_files APPEND .c)
add_library(qbt_sevenzip_sdk STATIC ${sdk_files})
# Its headers count as the system's: no warnings from code that is not ours. It loads
# little-endian numbers from unaligned addresses on purpose, which the sanitizers' alignment
# check would stop at.
target_include_directories(qbt_sevenzip_sdk SYSTEM PUBLIC ${sdk_source})
target_compile_options(qbt_sevenzip_sdk PRIVATE -fno-sanitize=alignment)

# The licence, as Debian's copyright file gives it for these files.
file(STRINGS ${sevenzip_sdk}/sources/7zip/debian/copyright copyright_lines)
set(licence "")
set(in_licence OFF)
foreach(line IN LISTS copyright_lines)
    if(line STREQUAL "License: public-domain")
        set(in_licence ON)
    elseif(in_licence AND NOT line MATCHES "^ ")
        break()
    endif()
    if(in_licence)
        string(APPEND licence "${line}\n")
    endif()
endforeach()
set(QBT_SEVENZIP_SDK_NOTICE ${sevenzip_sdk}/notice.txt)
string(REPLACE "${sdk_source}/" "" file_names "${sdk_files}")
string(REPLACE ";" " " file_names "${file_names}")
file(WRITE ${QBT_SEVENZIP_SDK_NOTICE}
"qbt reads the headers of 7z archives with the 7z reader of the LZMA SDK's C code, from
${sdk_version}:
the files ${file_names}
of its folder C/ and their headers, unchanged. Debian's copyright file says of them:

${licence}")
