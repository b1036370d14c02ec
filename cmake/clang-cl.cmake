# What both clang-cl toolchains share: the product DLL cross-compiled for
# Windows (MSVC ABI) with LLVM 16, without a Windows SDK and without a C
# runtime. The toolchain file of each architecture sets
# CMAKE_SYSTEM_PROCESSOR and PELKART_MSVC_TARGET, then includes this one.
set(CMAKE_SYSTEM_NAME Windows)

set(PELKART_LLVM_BIN "/usr/lib/llvm-16/bin" CACHE PATH "LLVM 16 tool folder")

set(CMAKE_C_COMPILER   "${PELKART_LLVM_BIN}/clang-cl")
set(CMAKE_CXX_COMPILER "${PELKART_LLVM_BIN}/clang-cl")
set(CMAKE_LINKER       "${PELKART_LLVM_BIN}/lld-link")
set(CMAKE_AR           "${PELKART_LLVM_BIN}/llvm-lib")
set(CMAKE_RC_COMPILER  "${PELKART_LLVM_BIN}/llvm-rc")
set(CMAKE_MT           "${PELKART_LLVM_BIN}/llvm-mt")
set(PELKART_DLLTOOL    "${PELKART_LLVM_BIN}/llvm-dlltool")

set(CMAKE_C_COMPILER_TARGET   ${PELKART_MSVC_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${PELKART_MSVC_TARGET})

# There are no Windows libraries to link a probe program against.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# The module links nothing but felica.dll: no default Windows libraries, and
# none of the compile flags that assume a C runtime (/EHsc, /GR, /MD).
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_FLAGS_INIT "")
set(CMAKE_MSVC_RUNTIME_LIBRARY "")
