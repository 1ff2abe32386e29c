include(CMakePackageConfigHelpers)

set(VELMORA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Velmora)
install(EXPORT VelmoraTargets NAMESPACE Velmora:: DESTINATION ${VELMORA_CMAKE_DIR})
# Relative to the prefix: the package picks it for consumers of the MSVC ABI (VelmoraConfig.cmake.in).
if(WIN32)
    set(VELMORA_INSTALLED_MSVC_IMPORT_LIBRARY ${CMAKE_INSTALL_LIBDIR}/Velmora.lib)
else()
    set(VELMORA_INSTALLED_MSVC_IMPORT_LIBRARY "")
endif()
configure_package_config_file(cmake/VelmoraConfig.cmake.in ${CMAKE_BINARY_DIR}/VelmoraConfig.cmake
                              INSTALL_DESTINATION ${VELMORA_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VelmoraConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VelmoraConfig.cmake ${CMAKE_BINARY_DIR}/VelmoraConfigVersion.cmake
        DESTINATION ${VELMORA_CMAKE_DIR})
