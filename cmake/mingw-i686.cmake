# The reader simulator and the Windows test programs for 32-bit Windows.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PELKART_MINGW i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
