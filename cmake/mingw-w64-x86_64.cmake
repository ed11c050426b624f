# Cross build for 64-bit Windows with mingw-w64 (the POSIX-threads variant,
# for std::thread), run here under Wine:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUARNEL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUARNEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARNEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARNEL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUARNEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config sees the target's packages only, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${QUARNEL_MINGW_TRIPLET}/lib/pkgconfig)

# GCC does not realign the Windows x64 stack (16 bytes) for 32- and 64-byte
# vector spills; the assembler then writes every aligned vector move as an
# unaligned one, which costs nothing on aligned data and cannot fault.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")

# Self-contained programs: the C++ runtime, libgcc and winpthread linked in,
# so they run on a bare Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here run under Wine, in a prefix of the build's own.
set(QUARNEL_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${QUARNEL_WINEPREFIX} WINEDEBUG=-all wine)
