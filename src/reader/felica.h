// The eight operations of the FeliCa reader library (felica.dll) that Pelkart
// calls, and the records it passes to them.
//
// Every record lives in the calling export's stack frame and is handed over
// by pointer. Each field takes one pointer-sized slot; a byte field is padded
// to the slot by the natural alignment of the platform.
//
// The library's functions are cdecl: the caller pops the arguments. Each
// returns a 32-bit boolean whose low byte alone decides: see Succeeded().
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define FELICA_CALL __cdecl
#else
#define FELICA_CALL
#endif

// Pelkart imports the operations; a library that provides them (the reader
// simulator) defines FELICA_IMPORT as its export attribute first.
#if !defined(FELICA_IMPORT)
#if defined(_WIN32)
#define FELICA_IMPORT __declspec(dllimport)
#else
#define FELICA_IMPORT
#endif
#endif

extern "C" {

// What a polling looks for: the system code (two bytes) and the time slot.
struct polling_request {
    uint8_t* system_code;
    uint8_t time_slot;
};

// Where a polling puts the card's IDm and PMm (8 bytes each).
struct card_information {
    uint8_t* card_idm;
    uint8_t* card_pmm;
};

// Which card, services and blocks a read addresses. block_list holds
// two-byte elements: 0x80 (two-byte form, first service), block number.
struct read_request {
    uint8_t* card_idm;
    uint8_t number_of_services;
    uint8_t* service_code_list;
    uint8_t number_of_blocks;
    uint8_t* block_list;
};

// Where a read puts its status, its count and its blocks (16 bytes each).
struct block_result {
    uint8_t* status_flag_1;
    uint8_t* status_flag_2;
    uint8_t* returned_block_count;
    uint8_t* block_data;
};

FELICA_IMPORT int32_t FELICA_CALL initialize_library(void);
FELICA_IMPORT int32_t FELICA_CALL dispose_library(void);
FELICA_IMPORT int32_t FELICA_CALL open_reader_writer_auto(void);
FELICA_IMPORT int32_t FELICA_CALL close_reader_writer(void);
FELICA_IMPORT int32_t FELICA_CALL polling_and_get_card_information(
    polling_request* request, uint8_t* number_of_cards, card_information* info);
FELICA_IMPORT int32_t FELICA_CALL read_block_without_encryption(
    read_request* request, block_result* result);
FELICA_IMPORT int32_t FELICA_CALL polling_and_read_service_without_encryption(
    polling_request* polling, read_request* request, card_information* info,
    block_result* result);
FELICA_IMPORT int32_t FELICA_CALL get_last_error_types(int32_t* first_error_type,
                                                       int32_t* second_error_type);

}  // extern "C"

// The library and Pelkart are built by different compilers: both must lay
// the records out as above, one pointer-sized slot a field in field order,
// on 32-bit (4-byte slots) and on 64-bit Windows (8-byte slots) alike.
constexpr size_t kSlot = sizeof(void*);
static_assert(offsetof(polling_request, time_slot) == 1 * kSlot, "polling_request");
static_assert(sizeof(polling_request) == 2 * kSlot, "polling_request");
static_assert(offsetof(card_information, card_pmm) == 1 * kSlot, "card_information");
static_assert(sizeof(card_information) == 2 * kSlot, "card_information");
static_assert(offsetof(read_request, number_of_services) == 1 * kSlot, "read_request");
static_assert(offsetof(read_request, service_code_list) == 2 * kSlot, "read_request");
static_assert(offsetof(read_request, number_of_blocks) == 3 * kSlot, "read_request");
static_assert(offsetof(read_request, block_list) == 4 * kSlot, "read_request");
static_assert(sizeof(read_request) == 5 * kSlot, "read_request");
static_assert(offsetof(block_result, status_flag_2) == 1 * kSlot, "block_result");
static_assert(offsetof(block_result, returned_block_count) == 2 * kSlot, "block_result");
static_assert(offsetof(block_result, block_data) == 3 * kSlot, "block_result");
static_assert(sizeof(block_result) == 4 * kSlot, "block_result");

// A reader library call succeeded when the low byte of its result is nonzero;
// the other 24 bits mean nothing.
inline bool Succeeded(int32_t result) {
    return (static_cast<uint32_t>(result) & 0xFFu) != 0;
}

// Service codes, as the card knows them.
enum : uint16_t {
    kBalanceService = 0x008B,
    kTicketGateService = 0x108F,
    kHistoryService = 0x090F,
};

// Every block of every service is 16 bytes.
constexpr int32_t kBlockSize = 16;
