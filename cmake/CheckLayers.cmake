cmake_minimum_required(VERSION 3.25)
# Fails when a source file includes one of ours from a floor above its own.
# Run as: cmake -DROOT=<source dir> -DSTAMP=<file> -P CheckLayers.cmake
# The floors and what each may include (docs/ARCHITECTURE.md); tools, tests,
# benchmarks and fuzzers stand on top and may use every floor. view/ (the
# walk, extents, dump and picture) stands on the kernel interface beside
# host/, never on it.
# kttrv/ is the public header of the exported entry points (include/kttrv/),
# which stands beside the kernel interface.
set(readers format kernel kttrv entities tables legacy)
set(allowed_format format)
set(allowed_kernel kernel)
set(allowed_entities ${readers})
set(allowed_tables ${readers})
set(allowed_legacy ${readers})
set(allowed_save format kernel kttrv save)
set(allowed_load ${readers} save load)
set(allowed_module ${readers} save load module)
set(allowed_host format kernel host)
set(allowed_view format kernel view)

set(failures "")
foreach(floor format kernel entities tables legacy save load module host view)
  file(GLOB files "${ROOT}/${floor}/*.h" "${ROOT}/${floor}/*.cpp")
  foreach(file ${files})
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${lines})
      string(REGEX MATCH "\"([^\"/]+)/" match "${line}")
      if(NOT match)
        # A file beside the including one is on its floor. The installed
        # kernel headers include each other so, since their folder is
        # kttrv/kernel/ once installed.
        string(REGEX MATCH "\"([^\"/]+)\"" bare "${line}")
        get_filename_component(dir "${file}" DIRECTORY)
        if(bare AND EXISTS "${dir}/${CMAKE_MATCH_1}")
          continue()
        endif()
        string(APPEND failures "\n  ${file}: ${line} (name the folder: \"floor/file.h\")")
        continue()
      endif()
      if(NOT CMAKE_MATCH_1 IN_LIST allowed_${floor})
        string(APPEND failures "\n  ${file}: ${line} (${floor}/ may use only: ${allowed_${floor}})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "Includes that climb a floor:${failures}")
endif()
file(TOUCH "${STAMP}")
