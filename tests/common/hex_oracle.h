// Hex text as the tests expect it, made with snprintf("%02X"): an oracle
// independent of the module's own formatters.
#pragma once

#include <stdint.h>

#include <cstdio>
#include <string>

inline std::string Hex(const uint8_t* bytes, size_t count) {
    std::string text;
    char digits[3];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        text += digits;
    }
    return text;
}
