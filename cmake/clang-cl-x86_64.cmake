# The product DLL for 64-bit Windows (x64): the build that 64-bit Office loads.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(PELKART_MSVC_TARGET x86_64-pc-windows-msvc)
include(${CMAKE_CURRENT_LIST_DIR}/clang-cl.cmake)
