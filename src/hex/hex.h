// Hex text: each byte as two uppercase hexadecimal digits, high four bits
// first, bytes in source order with no separator, then one zero byte.
// n bytes take 2n + 1 bytes of output; nothing beyond them is written.
//
// The output belongs to the caller, who provides the room. A null output
// (what VBA passes for vbNullString) is skipped: nothing is written.
#pragma once

#include <stdint.h>

// 8 bytes -> 16 characters, terminator at index 16.
void IdHexFormatter(const uint8_t* source, char* output);

// 16 bytes -> 32 characters, terminator at index 32.
void BlockHexFormatter(const uint8_t* source, char* output);

// count bytes -> 2 * count characters, terminator at index 2 * count.
// A count of zero or less leaves the empty text.
void HexRunFormatter(const uint8_t* source, int32_t count, char* output);

// Writes a terminator at text[index]; index 0 makes the empty text.
void TerminateAt(char* text, int32_t index);

// The position index characters into text, or null where text is null.
char* TextAt(char* text, int32_t index);
