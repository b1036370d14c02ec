// The reader library as the fuzz target plays it: the eight operations of
// reader/felica.h, each answering with a result and data taken from the
// fuzzer's input, and a log of every call with what the module handed over.
//
// Like a careless library, it writes its data whether the call then reports
// success or failure, and it leaves the bytes the input says it leaves.
//
// What each call takes from the input, in this order (Input's fallbacks in
// brackets, used once the input has run out):
//   every call            result, 4 bytes [1]
//   polling               IDm mask, 1 byte [FF], one data byte per set bit
//                         (bit i: IDm byte i); PMm mask and bytes the same
//                         way; the count of cards it reports, 1 byte [1]
//   block read            data mask, 2 bytes [FFFF], one data byte per set
//                         bit; status flag 1, flag 2, block count [0, 0, 1]
//   exchange              blocks written, 1 byte, taken modulo
//                         number_of_blocks + 1 [all]; 16 data bytes a block;
//                         status flag 1, flag 2, block count [0, 0, written];
//                         rewrites, 1 byte [0]: bit 0 writes 8 new bytes into
//                         the IDm buffer, bit 1 into the PMm buffer
//   last-error query      writes, 1 byte [3]: bit 0 first type, bit 1 second
//                         type; 4 bytes for each type written [0]
//   the other four        nothing more
#pragma once

#include <stdint.h>

#include <vector>

#include "input.h"
#include "reader/felica.h"
#include "reader_ops.h"

// One call as the reader library received and answered it. Data arrays hold
// the bytes the library wrote, with 00 for every byte it did not write.
struct Call {
    Op op = Op::Initialize;
    int32_t result = 0;

    // Polling and exchange: the polling request, and where the records were.
    uint8_t system_code[2] = {};
    uint8_t time_slot = 0;
    const void* polling_request = nullptr;
    const void* card_information = nullptr;

    // Polling.
    uint8_t number_of_cards_before = 0;
    const uint8_t* idm_buffer = nullptr;
    const uint8_t* pmm_buffer = nullptr;
    uint8_t idm[8] = {};
    uint8_t pmm[8] = {};

    // Block read and exchange: the read request and the block result.
    const uint8_t* card_idm_pointer = nullptr;
    uint8_t card_idm[8] = {};
    uint8_t number_of_services = 0;
    uint8_t service_code[2] = {};
    uint8_t number_of_blocks = 0;
    bool has_block_list = false;
    uint8_t block_list_element[2] = {};
    uint8_t status_before[3] = {};  // flag 1, flag 2, block count
    std::vector<uint8_t> area;      // 16 bytes a block asked for

    // Last-error query.
    bool first_written = false;
    bool second_written = false;
    int32_t first_error_type = 0;
    int32_t second_error_type = 0;
};

namespace fuzz_reader {

// From now on the library answers from input, with an empty log.
void Begin(Input& input);

// The calls since Begin(), in order.
const std::vector<Call>& Calls();

// Forgets the log, so that an input frees all that it allocated and
// libFuzzer sees no reason to suspect a leak.
void End();

}  // namespace fuzz_reader

// Reports a broken invariant, with what the target was doing, and aborts.
// Defined by the target.
[[noreturn]] void Violation(const char* format, ...) __attribute__((format(printf, 1, 2)));
