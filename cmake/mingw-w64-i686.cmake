# Cross build for 32-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-i686).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

# The posix thread model, whatever the system's default: GCC 12's win32 model has no std::mutex,
# which GoogleTest needs. Its winpthread is linked statically like the rest of the runtime.
set(QBT_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QBT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QBT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QBT_MINGW_TRIPLE}-windres)

# Libraries and headers come from the mingw-w64 tree only; programs (Wine, objdump) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QBT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Executables carry the compiler's runtime, so they run without its DLLs on the search path.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
