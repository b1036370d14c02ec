// Pelkart.dll and the reader simulator loaded as a VB program loads them:
// LoadLibrary, then each export by name (or by ordinal).
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>

#include "../../sim/felica_sim.h"
#include "../common/reader_ops.h"

static_assert(static_cast<int>(Op::Initialize) == kSimInitialize &&
                  static_cast<int>(Op::LastError) == kSimLastError && kSimOpCount == 8,
              "the simulator numbers the operations as the other test doubles do");

// Calls function as a VB Declare does, and reports whether the callee left
// the stack pointer and the caller's registers as it found them
// (call_checked.S on x86, call_checked_x64.S on x64).
extern "C" intptr_t call_checked(void* function, void* object, const uintptr_t* arguments,
                                 int32_t count, int32_t* stack_left, int32_t* registers_kept);

// A folder given as a Unix path (as CTest passes it) in Wine's Z: form.
inline std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path;
}

struct Simulator {
    decltype(&felica_sim_reset) reset = nullptr;
    decltype(&felica_sim_inject) inject = nullptr;
    decltype(&felica_sim_log_count) log_count = nullptr;
    decltype(&felica_sim_log_entry) log_entry = nullptr;
    decltype(&felica_sim_use_card) use_card = nullptr;
    decltype(&felica_sim_use_card_on_this_thread) use_card_on_this_thread = nullptr;

    bool Bind(HMODULE reader) {
        reset = reinterpret_cast<decltype(reset)>(GetProcAddress(reader, "felica_sim_reset"));
        inject = reinterpret_cast<decltype(inject)>(GetProcAddress(reader, "felica_sim_inject"));
        log_count = reinterpret_cast<decltype(log_count)>(GetProcAddress(reader, "felica_sim_log_count"));
        log_entry = reinterpret_cast<decltype(log_entry)>(GetProcAddress(reader, "felica_sim_log_entry"));
        use_card = reinterpret_cast<decltype(use_card)>(GetProcAddress(reader, "felica_sim_use_card"));
        use_card_on_this_thread = reinterpret_cast<decltype(use_card_on_this_thread)>(
            GetProcAddress(reader, "felica_sim_use_card_on_this_thread"));
        return reset && inject && log_count && log_entry && use_card && use_card_on_this_thread;
    }

    // The calls since the last reset, one letter a call: I initialize, O open,
    // P poll, R read block, S read service, C close, D dispose, E last error.
    std::string Calls() const {
        std::string calls;
        SimCall call;
        for (int32_t i = 0; log_entry(i, &call); ++i) calls += kOpLetters[call.op];
        return calls;
    }

    SimCall Entry(int32_t index) const {
        SimCall call{};
        log_entry(index, &call);
        return call;
    }
};

// The function types of the exports, as a Declare sees them.
using NoArguments = int32_t(__stdcall*)();
using TwoTexts = int32_t(__stdcall*)(char*, char*);
using TextNumberText = int32_t(__stdcall*)(char*, int32_t, char*);
