// The reader simulator's own control interface, beside the eight reader
// library operations it provides. Tests and tools find these functions in
// felica.dll with GetProcAddress; Pelkart never calls them.
#pragma once

#include <stdint.h>

#if defined(FELICA_SIM_BUILD)
#define FELICA_SIM_API extern "C" __declspec(dllexport)
#else
#define FELICA_SIM_API extern "C"
#endif

// The reader library operations, in the order of SimCall::op.
enum SimOp : int32_t {
    kSimInitialize,
    kSimDispose,
    kSimOpen,
    kSimClose,
    kSimPoll,
    kSimReadBlock,
    kSimReadService,
    kSimLastError,
    kSimOpCount,
};

// One call as the simulator received it, with the contents of its records.
struct SimCall {
    int32_t op;      // SimOp
    int32_t result;  // what the call returned
    uint8_t system_code[2];
    uint8_t time_slot;
    uint8_t number_of_cards_before;
    uint8_t card_idm[8];  // what read_request.card_idm pointed at
    uint8_t number_of_services;
    uint8_t service_code[2];
    uint8_t number_of_blocks;
    uint8_t has_block_list;
    uint8_t block_list_element[2];
    uint8_t status_before[3];  // status flag 1, status flag 2, returned block count
};

// Back to a reader with nothing initialised, an empty log, no injected
// failures and the card image chosen as at start-up.
FELICA_SIM_API void __cdecl felica_sim_reset(void);

// The nth call of op (counting from 0 since the last reset) does nothing but
// report the failure pair (9, 9) and return result.
FELICA_SIM_API void __cdecl felica_sim_inject(int32_t op, int32_t nth, int32_t result);

// The call log since the last reset.
FELICA_SIM_API int32_t __cdecl felica_sim_log_count(void);
FELICA_SIM_API int32_t __cdecl felica_sim_log_entry(int32_t index, SimCall* call);

// Serves the card image in text (the card-image format) from the next
// initialize_library on; null goes back to the image chosen at start-up.
// Returns 0, or the number of the first malformed line.
FELICA_SIM_API int32_t __cdecl felica_sim_use_card(const char* text);

// Puts a card of its own before the calling thread: its pollings and reads
// see the card image in text, whatever the other threads see, until the
// next reset; null takes the thread's own card away. The reader itself
// (initialised, open) stays one for all threads. Returns 0, or the number
// of the first malformed line (and the thread's card stays as it was).
FELICA_SIM_API int32_t __cdecl felica_sim_use_card_on_this_thread(const char* text);
