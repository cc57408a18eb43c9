# `cmake --install`: the plug-in, plus on Linux the header that another host is written against.
# On Windows, `cpack` makes the ZIP that users download: the DLL and a read-me.
include(GNUInstallDirs)

if(WIN32)
    # Users copy the one DLL; the import library is only for linking tests against it.
    install(TARGETS Quillbridge_to_Tamberlow RUNTIME DESTINATION . ARCHIVE EXCLUDE_FROM_ALL)
    configure_file(packaging/README.txt ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)

    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win32)
    include(CPack)
else()
    install(TARGETS Quillbridge_to_Tamberlow LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
    install(FILES plugin/exports.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${PROJECT_NAME})
endif()
