# CLI11, nlohmann-json and fmt for the cross compiler. All three can be used header-only, and
# Debian installs them under /usr/include, which the cross compiler must not search: glibc's headers there would be
# taken for mingw-w64's. So a folder of the build tree, remade at each configure, holds links to
# just those header trees, and imported targets named like the ones the packages' CMake files
# define on Linux carry it; the rest of the build names the same targets on both platforms.

set(header_library_dir ${CMAKE_BINARY_DIR}/header-libraries)
file(REMOVE_RECURSE ${header_library_dir})
file(MAKE_DIRECTORY ${header_library_dir})

# qbt_link_header_tree(<target> <folder> <a header in it>): the folder, found on the build
# machine and linked into the build tree, as <target>'s include directory.
function(qbt_link_header_tree target folder header)
    # The toolchain confines searches to the mingw-w64 tree; this one is the build machine's.
    find_path(QBT_${folder}_HEADERS ${folder}/${header} PATHS /usr/include
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT QBT_${folder}_HEADERS)
        message(FATAL_ERROR "${folder}/${header} not found: install the Debian package that "
                            "provides it, or set QBT_${folder}_HEADERS to the folder above it")
    endif()
    file(CREATE_LINK ${QBT_${folder}_HEADERS}/${folder} ${header_library_dir}/${folder} SYMBOLIC)
    add_library(${target} INTERFACE IMPORTED)
    # Imported, so its headers count as the system's: no warnings from code that is not ours.
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${header_library_dir})
endfunction()

qbt_link_header_tree(CLI11::CLI11 CLI CLI.hpp)                        # package libcli11-dev
qbt_link_header_tree(nlohmann_json::nlohmann_json nlohmann json.hpp)  # package nlohmann-json3-dev
qbt_link_header_tree(fmt::fmt fmt format.h)                          # package libfmt-dev
# Debian builds fmt as a library for Linux only; its header-only mode compiles it in instead.
set_property(TARGET fmt::fmt PROPERTY INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY=1)
