# The module's sources that build anywhere: everything but the C runtime
# stand-ins, the version record and the export list. The DLL adds those; the
# host tests, the fuzz target and the benchmark build these alone.
set(PELKART_SRC ${CMAKE_CURRENT_LIST_DIR})
set(PELKART_SOURCES
    ${PELKART_SRC}/hex/hex.cpp
    ${PELKART_SRC}/card/card.cpp
    ${PELKART_SRC}/exports/connection.cpp
    ${PELKART_SRC}/exports/reads.cpp
    ${PELKART_SRC}/exports/module.cpp)
