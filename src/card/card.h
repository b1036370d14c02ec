// Card reads: the polling step that starts every read, the read of one
// usage-history block, the read of a service's blocks in one exchange, and
// the loop that appends all twenty history blocks to a text.
//
// Every value here lives in the frame of the export that reads; nothing
// survives the call.
#pragma once

#include <stdint.h>

#include "../reader/felica.h"

namespace card {

// The usage-history service holds blocks 0 (the newest) to 19.
constexpr int32_t kHistoryBlocks = 20;

inline bool IsHistoryBlock(int32_t block_number) {
    return block_number >= 0 && block_number < kHistoryBlocks;
}

// The values of one polling: the request, the card's IDm and PMm, and the
// records that point at them. A service read in one exchange is handed the
// same request and card information again. The records point into the
// object itself, so it is neither copied nor moved.
struct Polling {
    uint8_t system_code[2] = {};
    polling_request request = {};
    uint8_t number_of_cards = 0;
    uint8_t idm[8] = {};
    uint8_t pmm[8] = {};
    card_information info = {};

    Polling() = default;
    Polling(const Polling&) = delete;
    Polling& operator=(const Polling&) = delete;
};

// Polls once for a card of any system (0xFFFF, time slot 0). The IDm and PMm
// are zeroed first, so a byte the library does not write reads as 0.
bool Poll(Polling& polling);

// Reads block block_number (0 to 19) of the usage-history service of the card
// with this IDm into block (16 bytes, zeroed first).
bool ReadHistoryBlock(uint8_t* idm, int32_t block_number, uint8_t* block);

// Reads block_count blocks of a service in one exchange, handing the library
// the polling's request and card information again. The receive area
// (block_count * 16 bytes) is zeroed first.
bool ReadService(Polling& polling, uint16_t service_code, uint8_t block_count,
                 uint8_t* area);

// Reads history blocks 0 to 19 one by one and appends each block's text to
// history_text, which the caller has made the empty text. The first failing
// read ends the loop, leaving the blocks read before it; false then.
bool AppendHistory(uint8_t* idm, char* history_text);

}  // namespace card
