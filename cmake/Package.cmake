# Installing the plug-in for other hosts: versioned libraries, the public
# headers, a CMake package (find_package(KtTrv) -> KtTrv::KtTrv, KtTrv::ZiRida)
# and a pkg-config file. Everything is relative to the prefix, which may move.
# What goes in is the list at the end: one line per library, one line per
# folder of headers.
include(CMakePackageConfigHelpers)

set(KTTRV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KtTrv)
# The installed headers under their installed names in the build tree too,
# one forwarding header each, so that a project that adds this one as a
# subdirectory includes <kttrv/...> as an installed package's user does.
set(KTTRV_BUILD_INCLUDE_DIR ${PROJECT_BINARY_DIR}/include)
set(KTTRV_PACKAGE_LIBRARIES "")

# kttrv_package_library(TARGET): installs the library TARGET (shared or
# static) and exports it as KtTrv::TARGET, a name the build tree gives it
# too; its users get the installed headers, and kttrv.pc links it. Name a
# library before the libraries it links. Whatever it links must be in the
# package as well, or be an imported target its users find themselves.
function(kttrv_package_library target)
  cmake_parse_arguments(PARSE_ARGV 1 LIB "" "PC" "")
  get_target_property(export_name ${target} EXPORT_NAME)
  if(NOT export_name)
    set(export_name ${target})
  endif()
  add_library(KtTrv::${export_name} ALIAS ${target})
  target_include_directories(${target} INTERFACE
    $<BUILD_INTERFACE:${KTTRV_BUILD_INCLUDE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  install(TARGETS ${target} EXPORT KtTrvTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(LIB_PC)
    # A library of its own pkg-config file (PC NAME: NAME.pc), with ZiRida.
    file(RELATIVE_PATH prefix_from_pcdir ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
    set(libs "-l${name} -lZiRida")
    foreach(lib ${CMAKE_DL_LIBS})
      string(APPEND libs " -l${lib}")
    endforeach()
    file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${LIB_PC}.pc @ONLY CONTENT
"prefix=\${pcfiledir}/${prefix_from_pcdir}
libdir=\${prefix}/${CMAKE_INSTALL_LIBDIR}
includedir=\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}

Name: ${LIB_PC}
Description: The C++ API of KtTrv: load and save calls with their results, the views of a drawing
Version: ${PROJECT_VERSION}
Libs: -L\${libdir} ${libs}
Cflags: -I\${includedir} -I\${includedir}/kttrv
")
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${LIB_PC}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  else()
    set(KTTRV_PACKAGE_LIBRARIES ${KTTRV_PACKAGE_LIBRARIES} ${name} PARENT_SCOPE)
  endif()
endfunction()

# kttrv_package_headers(FOLDER FILE...): installs each FILE (a path from the
# source root) as include/FOLDER/<its name>, which users include as
# <FOLDER/name>; the build tree offers it under that name too.
function(kttrv_package_headers folder)
  install(FILES ${ARGN} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${folder})
  foreach(header ${ARGN})
    get_filename_component(name ${header} NAME)
    get_filename_component(path ${header} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
    file(CONFIGURE OUTPUT ${KTTRV_BUILD_INCLUDE_DIR}/${folder}/${name} @ONLY
      CONTENT "// The build tree's <${folder}/${name}>: the installed header is this one.\n#include \"${path}\"\n")
  endforeach()
endfunction()

# The package.
kttrv_package_library(KtTrv)
kttrv_package_library(ZiRida)
# The entry points, the kernel interface and the framework shims it uses.
# Installed, the kernel headers sit in kttrv/kernel/ beside <kttrv/kttrv.h>,
# which finds them there, and include each other by their bare names.
kttrv_package_headers(kttrv include/kttrv/kttrv.h)
kttrv_package_headers(kttrv/kernel kernel/zirida.h kernel/afx.h kernel/kt_drawables.h kernel/collections.h
  kernel/kt_carried.h)
# The C++ API (KtTrv::Api, its own kttrv-api.pc): the load and save calls,
# their results, the views, and the headers these include.
kttrv_package_library(KtTrvApi PC kttrv-api)
kttrv_package_headers(kttrv/load load/load.h)
kttrv_package_headers(kttrv/save save/save_file.h save/save_report.h)
kttrv_package_headers(kttrv/format format/diagnostics.h format/load_stats.h format/loss_ledger.h
  format/tag_file.h format/json_real.h format/load_observer.h)
kttrv_package_headers(kttrv/tables tables/sysvar_list.h)
kttrv_package_headers(kttrv/view view/drawables.h view/ranges.h view/geometry.h view/walk.h view/extents.h
  view/layer_index.h view/kind_names.h view/utf8.h view/json_writer.h view/dump_writer.h view/render_options.h
  view/stored_entity.h view/text_encoding.h)

install(EXPORT KtTrvTargets NAMESPACE KtTrv:: DESTINATION ${KTTRV_CMAKE_DIR})
configure_package_config_file(cmake/KtTrvConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KtTrvConfig.cmake INSTALL_DESTINATION ${KTTRV_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KtTrvConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KtTrvConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/KtTrvConfigVersion.cmake DESTINATION ${KTTRV_CMAKE_DIR})

file(RELATIVE_PATH KTTRV_PC_PREFIX_FROM_PCDIR
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
list(TRANSFORM KTTRV_PACKAGE_LIBRARIES PREPEND "-l" OUTPUT_VARIABLE KTTRV_PC_LIBS)
list(JOIN KTTRV_PC_LIBS " " KTTRV_PC_LIBS)
configure_file(cmake/kttrv.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kttrv.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kttrv.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
