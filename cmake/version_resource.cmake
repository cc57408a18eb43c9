# Who made it, for the packages and the Windows version resources: the credit GetPluginAuthor
# returns (the Windows host test compares the two).
set(QBT_AUTHOR_NAME quillwright)
set(QBT_AUTHOR_CREDIT "${QBT_AUTHOR_NAME} - example.org")
set(QBT_COPYRIGHT "Copyright (C) 2026 ${QBT_AUTHOR_CREDIT}")

# qbt_add_version_resource(TARGET DESCRIPTION): a VERSIONINFO resource for TARGET, a Windows
# binary described in Explorer by DESCRIPTION, from the project's version.
function(qbt_add_version_resource target description)
    set(QBT_VERSION_DOTS ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
    string(REPLACE . , QBT_VERSION_COMMAS ${QBT_VERSION_DOTS})
    set(QBT_FILE_DESCRIPTION "${description}")
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(QBT_FILE_TYPE VFT_APP)
        set(QBT_ORIGINAL_FILENAME ${target}.exe)
    else()
        set(QBT_FILE_TYPE VFT_DLL)
        set(QBT_ORIGINAL_FILENAME ${target}.dll)
    endif()
    set(QBT_INTERNAL_NAME ${target})
    set(resource ${CMAKE_BINARY_DIR}/version_resources/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${resource} @ONLY)
    target_sources(${target} PRIVATE ${resource})
endfunction()
