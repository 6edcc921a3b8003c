# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads:
# the win32-threads compilers have no std::mutex), running programs and
# tests under Wine. The OpenSSL built by scripts/build-openssl-mingw is found
# through VELIX_MINGW_OPENSSL (its prefix), the QtCore built by
# scripts/build-qtcore-mingw through VELIX_MINGW_QT (without it, no velixhost.exe).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(VELIX_MINGW_OPENSSL "" CACHE PATH "Prefix of OpenSSL built for mingw-w64")
set(VELIX_MINGW_QT "" CACHE PATH "Prefix of QtCore built for mingw-w64")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${VELIX_MINGW_OPENSSL} ${VELIX_MINGW_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Under Wine a missing DLL ends a program with exit code 53 and no word:
# programs carry their runtime with them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Tests run in a Wine prefix of the build tree, never the user's own.
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix wine)
