# Cross-compilation for 64-bit Windows with Debian's mingw-w64 (posix thread
# model, so that std::thread and std::mutex work):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The program and the tests are linked statically (libgcc, libstdc++,
# winpthread): bandscape.exe needs no DLL beside it.  When wine is installed,
# it runs the test programs (ctest, test discovery).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BANDSCAPE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BANDSCAPE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BANDSCAPE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${BANDSCAPE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BANDSCAPE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C99 printf family of mingw instead of the system's msvcrt one: the same
# conversions as glibc (two-digit exponents, correct rounding of %f).
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(BANDSCAPE_WINE NAMES wine wine64)
if(BANDSCAPE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()
