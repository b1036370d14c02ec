# What both MinGW-w64 toolchains share: the reader simulator and the Windows
# test programs, cross-compiled with posix threads (which GoogleTest needs)
# and run by CTest under Wine. The toolchain file of each architecture sets
# CMAKE_SYSTEM_PROCESSOR and PELKART_MINGW (the tools' prefix), then
# includes this one.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${PELKART_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELKART_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER  ${PELKART_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PELKART_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# No MinGW runtime DLLs to ship beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# scripts/wine-run.sh picks 32- or 64-bit Wine from the program's header.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh")
