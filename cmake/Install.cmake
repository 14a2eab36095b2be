# Install rules: the library, its public headers, pkg-config and CMake package files.
include(CMakePackageConfigHelpers)

install(TARGETS vantrel EXPORT VantrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(VANTREL_INCLUDE_DEST ${CMAKE_INSTALL_INCLUDEDIR}/vantrel)
install(FILES
  ${PROJECT_SOURCE_DIR}/runtime/uDyxSubs.h
  ${PROJECT_SOURCE_DIR}/runtime/uMultiLanguage.h
  ${PROJECT_SOURCE_DIR}/runtime/uAbout.h
  ${VANTREL_GENERATED_DIR}/vantrel_export.h
  DESTINATION ${VANTREL_INCLUDE_DEST})
# Only the class-library stand-ins and Windows types that the public headers use.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/classlib/ DESTINATION ${VANTREL_INCLUDE_DEST}/classlib
  FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_SOURCE_DIR}/platform/win32/types.h DESTINATION ${VANTREL_INCLUDE_DEST}/win32)
# The windows that receive messages are registered by the host itself.
install(FILES ${PROJECT_SOURCE_DIR}/platform/win32/windowmsg.h DESTINATION ${VANTREL_INCLUDE_DEST}/win32)

install(EXPORT VantrelTargets
  NAMESPACE Vantrel::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Vantrel)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VantrelConfig.cmake.in
  ${CMAKE_BINARY_DIR}/VantrelConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Vantrel)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VantrelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VantrelConfig.cmake ${CMAKE_BINARY_DIR}/VantrelConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Vantrel)

# The .pc file finds the prefix from its own place, so that an install under
# any --prefix stays usable.
file(RELATIVE_PATH VANTREL_PC_PREFIX_FROM_PCDIR /x/${CMAKE_INSTALL_LIBDIR}/pkgconfig /x)
configure_file(${PROJECT_SOURCE_DIR}/cmake/vantrel.pc.in ${CMAKE_BINARY_DIR}/vantrel.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/vantrel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
