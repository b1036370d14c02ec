#include "hex.h"

#include <stddef.h>

namespace {

const char kDigits[] = "0123456789ABCDEF";

// Writes the digits of count bytes; the caller writes the terminator.
void WriteDigits(const uint8_t* source, int32_t count, char* output) {
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t byte = source[i];
        char* const digits = output + 2 * static_cast<ptrdiff_t>(i);
        digits[0] = kDigits[byte >> 4];
        digits[1] = kDigits[byte & 0x0F];
    }
}

}  // namespace

void HexRunFormatter(const uint8_t* source, int32_t count, char* output) {
    if (output == nullptr) return;
    if (count < 0) count = 0;
    WriteDigits(source, count, output);
    output[2 * static_cast<ptrdiff_t>(count)] = '\0';
}

void IdHexFormatter(const uint8_t* source, char* output) {
    HexRunFormatter(source, 8, output);
}

void BlockHexFormatter(const uint8_t* source, char* output) {
    HexRunFormatter(source, 16, output);
}

void TerminateAt(char* text, int32_t index) {
    if (text != nullptr) text[index] = '\0';
}

char* TextAt(char* text, int32_t index) {
    return text == nullptr ? nullptr : text + index;
}
