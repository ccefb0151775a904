# Cross-compiling the Windows client on Debian with mingw-w64 (posix thread model,
# so std::thread and std::mutex work).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TH_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${TH_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TH_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER  ${TH_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TH_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every Windows program of the build (tests included) runs under Wine through this
# wrapper, which uses the build tree's own prefix and the test display.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
