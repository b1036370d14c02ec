// The module links no C runtime, but the compiler may still emit calls to
// memset and memcpy (to clear or copy a record). These are the module's own.
// The writes go through a volatile pointer so that no compiler turns the
// loops back into calls of the very functions they implement.
#include <stddef.h>

#if defined(_MSC_VER) && !defined(__clang__)
#pragma function(memset)
#pragma function(memcpy)
#endif

extern "C" void* __cdecl memset(void* destination, int value, size_t count) {
    volatile unsigned char* to = static_cast<unsigned char*>(destination);
    while (count-- != 0) *to++ = static_cast<unsigned char>(value);
    return destination;
}

extern "C" void* __cdecl memcpy(void* destination, const void* source, size_t count) {
    volatile unsigned char* to = static_cast<unsigned char*>(destination);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    while (count-- != 0) *to++ = *from++;
    return destination;
}
