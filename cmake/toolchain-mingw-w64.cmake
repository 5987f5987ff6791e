# Cross-builds the Windows DLLs and programs with MinGW-w64 (64-bit) and runs
# them under Wine. libstdc++, libgcc and winpthread are linked statically, so
# KtTrv.dll, ZiRida.dll and the programs need nothing beside each other.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KTTRV_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix thread model: GCC 12's win32 model has no std::mutex or std::thread.
set(CMAKE_C_COMPILER ${KTTRV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KTTRV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KTTRV_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KTTRV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# A DLL without a .def exports its own symbols only, none of the static runtime's.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--exclude-libs,ALL")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
