# Where `cmake --install` and the packages put each file. qbt is built knowing this layout, so an
# installed qbt finds the plug-in and the sample list relative to its own folder.
if(WIN32)
    # The ZIP's one folder: qbt.exe beside the DLL, as in the build tree. No sample list.
    set(QBT_INSTALL_TOOL_DIR .)
    set(QBT_INSTALL_PLUGIN_DIR .)
    set(QBT_INSTALL_DATA_DIR .)
    set(QBT_PLUGIN_FROM_INSTALLED_TOOL ${PROJECT_NAME}.dll)
    set(QBT_LIST_FROM_INSTALLED_TOOL games.xml)
    return()
endif()

# Debian's multiarch folder under any prefix, not only /usr: the .deb installs to
# /usr/lib/<triplet>, and /usr/local/lib/<triplet> is on the loader's path as well.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CMAKE_INSTALL_LIBDIR)
    set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH
        "Object code libraries (lib/${CMAKE_LIBRARY_ARCHITECTURE})")
endif()
include(GNUInstallDirs)

set(QBT_INSTALL_TOOL_DIR ${CMAKE_INSTALL_BINDIR})
set(QBT_INSTALL_PLUGIN_DIR ${CMAKE_INSTALL_LIBDIR})
set(QBT_INSTALL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/${PROJECT_NAME})
foreach(folder IN ITEMS TOOL PLUGIN DATA)
    if(IS_ABSOLUTE "${QBT_INSTALL_${folder}_DIR}")
        message(FATAL_ERROR "qbt finds its files relative to its folder: give the install "
                            "folders relative to the prefix, not ${QBT_INSTALL_${folder}_DIR}")
    endif()
endforeach()
set(plugin_file ${CMAKE_SHARED_LIBRARY_PREFIX}${PROJECT_NAME}${CMAKE_SHARED_LIBRARY_SUFFIX})
file(RELATIVE_PATH QBT_PLUGIN_FROM_INSTALLED_TOOL /${QBT_INSTALL_TOOL_DIR}
     /${QBT_INSTALL_PLUGIN_DIR}/${plugin_file})
file(RELATIVE_PATH QBT_LIST_FROM_INSTALLED_TOOL /${QBT_INSTALL_TOOL_DIR}
     /${QBT_INSTALL_DATA_DIR}/games.xml)
