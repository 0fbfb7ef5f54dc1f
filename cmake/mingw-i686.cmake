# Cross-compiling for 32-bit Windows with Debian's MinGW-w64 (packages g++-mingw-w64-i686-posix
# and binutils-mingw-w64-i686).
#
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DVIREO_CORE_ONLY=ON
#
# The "-posix" flavour of the compiler is required: the "-win32" flavour of GCC 12 has no
# std::thread or std::mutex, which the serial reader and the receive ring rely on.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(VIREO_MINGW_TRIPLET i686-w64-mingw32)

find_program(VIREO_MINGW_CXX NAMES ${VIREO_MINGW_TRIPLET}-g++-posix REQUIRED)
find_program(VIREO_MINGW_CC NAMES ${VIREO_MINGW_TRIPLET}-gcc-posix REQUIRED)
find_program(VIREO_MINGW_RC NAMES ${VIREO_MINGW_TRIPLET}-windres REQUIRED)
set(CMAKE_CXX_COMPILER ${VIREO_MINGW_CXX})
set(CMAKE_C_COMPILER ${VIREO_MINGW_CC})
set(CMAKE_RC_COMPILER ${VIREO_MINGW_RC})

# Libraries, headers and packages come from the MinGW sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VIREO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# windows.h hygiene: no min/max macros (they break std::min/std::max), none of the rarely used
# headers. Windows 7 is the oldest system the program targets, so newer API calls fail to
# compile instead of failing to load.
set(VIREO_MINGW_DEFINES "-DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601 -DWINVER=0x0601")
set(CMAKE_CXX_FLAGS_INIT "${VIREO_MINGW_DEFINES}")
set(CMAKE_C_FLAGS_INIT "${VIREO_MINGW_DEFINES}")

# Link the C++ runtime and the threads library into each executable, so that a program runs
# on a machine without MinGW's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
