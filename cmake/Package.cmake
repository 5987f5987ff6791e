# Installing the plug-in for other hosts: versioned libraries, the public
# headers, a CMake package (find_package(KtTrv) -> KtTrv::KtTrv, KtTrv::ZiRida)
# and a pkg-config file. Everything is relative to the prefix, which may move.
include(CMakePackageConfigHelpers)

set(KTTRV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KtTrv)

install(TARGETS KtTrv ZiRida EXPORT KtTrvTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
target_include_directories(KtTrv INTERFACE
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

# The public headers: the entry points, the kernel interface and the
# framework shims it uses. <kttrv/kttrv.h> finds the other two beside it.
install(FILES include/kttrv/kttrv.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kttrv)
install(FILES kernel/zirida.h kernel/afx.h kernel/kt_drawables.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kttrv/kernel)

install(EXPORT KtTrvTargets NAMESPACE KtTrv:: DESTINATION ${KTTRV_CMAKE_DIR})
configure_package_config_file(cmake/KtTrvConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KtTrvConfig.cmake INSTALL_DESTINATION ${KTTRV_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KtTrvConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KtTrvConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/KtTrvConfigVersion.cmake DESTINATION ${KTTRV_CMAKE_DIR})

file(RELATIVE_PATH KTTRV_PC_PREFIX_FROM_PCDIR
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(cmake/kttrv.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kttrv.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kttrv.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
