# The shape of tools/, checked on every test run (cmake -DTOOLS=<tools folder> -P this file):
#   - a room includes only from the rooms below it, so the layout shows the architecture;
#   - only disk/ calls the system's file functions, so every other room reads and changes files
#     through the Disk it is handed and is testable on a FakeDisk;
#   - only cli/ asks for the system's disk (SystemDisk()), and hands it down to the rest.
# Tests and the tests' doubles may reach anywhere.

cmake_minimum_required(VERSION 3.25)

set(below_base "")
set(below_system base)
set(below_disk base system)
set(below_collection base system disk)
set(below_lists base system disk)
set(below_host base system disk lists)
set(below_audit base system disk collection lists host)
set(below_rename base system disk collection lists host)
set(below_cli base system disk collection lists host audit rename)
set(rooms base system disk collection lists host audit rename cli)

# What touches the disk: POSIX and C calls, Win32 calls, and std::filesystem's that look at or
# change files (path arithmetic, and making a path absolute, is fine).
set(file_calls
    "[^A-Za-z_:.>](open|openat|opendir|fopen|stat|lstat|fstatat|unlink|rmdir|mkdir|link|rename|renameat2|realpath|readlink)[ ]*\\("
    "_wfopen|CreateFileW|MoveFileExW|DeleteFileW|FindFirstFileW|GetFileAttributesExW|CreateDirectoryW|RemoveDirectoryW|GetFinalPathNameByHandleW"
    "(std::filesystem|fs)::(exists|status|symlink_status|directory_iterator|recursive_directory_iterator|create_directory|create_directories|remove|remove_all|rename|copy|copy_file|current_path|canonical|weakly_canonical|file_size|is_directory|is_regular_file|is_symlink|read_symlink|last_write_time|equivalent|space|resize_file)[ ]*\\(")

set(faults "")
foreach(room IN LISTS rooms)
    file(GLOB sources ${TOOLS}/${room}/*.h ${TOOLS}/${room}/*.cpp)
    foreach(source IN LISTS sources)
        get_filename_component(name ${source} NAME)
        if(name MATCHES "_test\\.cpp$|^fake_|^test_")
            continue()
        endif()
        file(STRINGS ${source} includes REGEX "^#include \"tools/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^#include \"tools/([a-z_]+)/.*" "\\1" included "${line}")
            if(NOT included STREQUAL room AND NOT included IN_LIST below_${room})
                string(APPEND faults "${room}/${name} includes ${included}/, a room above it\n")
            endif()
        endforeach()
        # Code only: comments may speak of renaming and linking.
        file(STRINGS ${source} lines)
        list(TRANSFORM lines REPLACE "//.*" "")
        string(JOIN "\n" text ${lines})
        if(NOT room STREQUAL "disk")
            foreach(call IN LISTS file_calls)
                if(text MATCHES "${call}")
                    string(APPEND faults
                           "${room}/${name} calls the system's files (${CMAKE_MATCH_0}); only disk/ may\n")
                endif()
            endforeach()
            if(NOT room STREQUAL "cli" AND text MATCHES "SystemDisk[ ]*\\(")
                string(APPEND faults
                       "${room}/${name} asks for the system's disk; only cli/ may, to hand it down\n")
            endif()
        endif()
    endforeach()
endforeach()

if(faults)
    message(FATAL_ERROR "The rooms of tools/ are out of shape:\n${faults}")
endif()
message(STATUS "Every room of tools/ includes only from the rooms below it; only disk/ touches "
               "files, and only cli/ asks for the system's disk.")
