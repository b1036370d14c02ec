#include "connection.h"

#include "pelkart.h"

int32_t OpenReader() {
    if (!Succeeded(initialize_library())) return RcInitFailed;
    if (!Succeeded(open_reader_writer_auto())) return RcOpenFailed;
    return RcOk;
}

int32_t CloseReader() {
    if (!Succeeded(close_reader_writer())) return RcCloseFailed;
    if (!Succeeded(dispose_library())) return RcDisposeFailed;
    return RcOk;
}

PELKART_API FelicaRWOpen(void) { return OpenReader(); }

PELKART_API FelicaRWClose(void) { return CloseReader(); }

PELKART_API FelicaGetLastError(void) {
    // Zeroed, so that a type the library does not write counts as 0.
    int32_t first = 0;
    int32_t second = 0;
    get_last_error_types(&first, &second);
    if (first < 0) first = 0;
    if (second < 0) second = 0;
    // 1000 * first + second, without overflow: a composite above the largest
    // 32-bit value is reported as that value.
    const int32_t kLargest = 2147483647;
    if (first > (kLargest - second) / 1000) return kLargest;
    return 1000 * first + second;
}
