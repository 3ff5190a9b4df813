# Cross-compile for 64-bit Windows with Debian's MinGW-w64.
# The posix thread model: GoogleTest needs std::mutex; -static keeps winpthread inside the .exe.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VANDREL_TRIPLET x86_64-w64-mingw32)
set(VANDREL_MANIFEST_ARCH amd64)
set(CMAKE_C_COMPILER ${VANDREL_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANDREL_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VANDREL_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VANDREL_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
