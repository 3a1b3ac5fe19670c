# Cross-compiles for 64-bit Windows with Debian's mingw-w64 toolchain.
#   cmake -S <dir> -B <build> -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The executables are linked statically (libgcc, libstdc++, winpthreads), so
# they need no DLL beside them and run under wine as they are.
#
# With -DCLIP_WINDOWS_PREFIX=<folder> (the cross-built Qt, libmpv and encoder
# that scripts/build-windows.sh makes), packages are found in that folder as
# well, and the runtime is linked as DLLs: the program and its Qt and libmpv
# DLLs then share one C++ runtime, which the package ships beside them.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CLIP_MINGW_TRIPLE x86_64-w64-mingw32)

# The posix thread model: std::thread and std::mutex work with it. Debian
# points the unsuffixed names at one of the two models through alternatives.
find_program(CLIP_MINGW_CXX NAMES ${CLIP_MINGW_TRIPLE}-g++-posix ${CLIP_MINGW_TRIPLE}-g++)
find_program(CLIP_MINGW_CC NAMES ${CLIP_MINGW_TRIPLE}-gcc-posix ${CLIP_MINGW_TRIPLE}-gcc)
find_program(CLIP_MINGW_WINDRES NAMES ${CLIP_MINGW_TRIPLE}-windres)
if(NOT CLIP_MINGW_CXX)
  message(FATAL_ERROR "The mingw-w64 C++ compiler (${CLIP_MINGW_TRIPLE}-g++) was not found. "
                      "Install it with: scripts/install-deps.sh windows")
endif()
set(CMAKE_CXX_COMPILER ${CLIP_MINGW_CXX})
if(CLIP_MINGW_CC)
  set(CMAKE_C_COMPILER ${CLIP_MINGW_CC})
endif()
if(CLIP_MINGW_WINDRES)
  set(CMAKE_RC_COMPILER ${CLIP_MINGW_WINDRES})
endif()

# Try-compile projects read this file again; they get the prefix passed on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CLIP_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH ${CLIP_WINDOWS_PREFIX} /usr/${CLIP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT CLIP_WINDOWS_PREFIX)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()

# Lets CTest and try_run start the Windows executables on this machine.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(CLIP_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  if(CLIP_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CLIP_WINE})
  endif()
endif()
