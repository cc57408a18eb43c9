# The Windows plug-in as a 32-bit host loads it: Quillbridge_to_Tamberlow.dll, exporting the nine
# functions under their plain names with the ordinals in plugin/exports.def and nothing else.

set(export_definitions ${PROJECT_SOURCE_DIR}/plugin/exports.def)
# Named in the link, a module-definition file also turns off the linker's export of every
# global symbol; its names are taken as written (cdecl names carry no @N, so no --kill-at).
target_sources(Quillbridge_to_Tamberlow PRIVATE ${export_definitions})
# The test programs are built into the same folder, where Windows looks for a DLL first.
set_target_properties(Quillbridge_to_Tamberlow PROPERTIES
    PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Users copy one file: the compiler's runtime (libgcc, libstdc++ and, with the posix thread
# model, winpthread) is linked in, so the DLL imports from Windows' own DLLs only.
# Release builds leave out the symbols and the debug information that come with that runtime.
target_link_options(Quillbridge_to_Tamberlow PRIVATE -static $<$<CONFIG:Release,MinSizeRel>:-s>)

# Hosts built by other compilers may call with the stack aligned to 4 bytes only, while GCC
# assumes 16 at every function entry: realign where the code needs more. GCC 12 for this target
# already does so in the files built for SSE and wider (the scanners); the option makes it hold
# for every file whatever the compiler's default. The scanner tests call each scanner at every
# stack alignment under Wine.
target_compile_options(qbt_core PRIVATE -mstackrealign)
