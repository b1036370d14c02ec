# The product DLL for 32-bit Windows: the build that 32-bit Office and VB6 load.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PELKART_MSVC_TARGET i686-pc-windows-msvc)
include(${CMAKE_CURRENT_LIST_DIR}/clang-cl.cmake)
