# cmake --install: the public headers, the shared library, a CMake package
# (find_package(unified_track CONFIG) -> unified_track::unified_track) and a pkg-config file.
# Both package files are relocatable: they find the prefix from where they lie.
include(CMakePackageConfigHelpers)
set(UT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/unified_track)

install(TARGETS unified_track EXPORT unified_trackTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/unified_track DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT unified_trackTargets NAMESPACE unified_track:: DESTINATION ${UT_CMAKE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/unified_trackConfig.cmake.in
  ${PROJECT_BINARY_DIR}/unified_trackConfig.cmake INSTALL_DESTINATION ${UT_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/unified_trackConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/unified_trackConfig.cmake
  ${PROJECT_BINARY_DIR}/unified_trackConfigVersion.cmake DESTINATION ${UT_CMAKE_DIR})

# "../.." (or deeper when the library folder has more levels) from lib/pkgconfig to the prefix.
string(REGEX REPLACE "[^/]+" ".." UT_PC_TO_PREFIX "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
configure_file(${PROJECT_SOURCE_DIR}/cmake/unified_track.pc.in ${PROJECT_BINARY_DIR}/unified_track.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/unified_track.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
