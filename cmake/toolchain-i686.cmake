# Cross-compile for 32-bit Windows with Debian's MinGW-w64.
# The posix thread model: GoogleTest needs std::mutex; -static keeps winpthread inside the .exe.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VANDREL_TRIPLET i686-w64-mingw32)
set(VANDREL_MANIFEST_ARCH x86)
set(CMAKE_C_COMPILER ${VANDREL_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANDREL_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VANDREL_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VANDREL_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
