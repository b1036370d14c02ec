// Pelkart.dll as a VB or VBA program meets it: loaded beside the reader
// simulator under Wine, every export found by name and by ordinal, called
// with the stack and registers checked, and read end to end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "fault_matrix.h"
#include "hex_oracle.h"
#include "out_buffer.h"
#include "pelkart_module.h"

namespace {

std::string dist;    // the folder holding Pelkart.dll and felica.dll, Windows form
std::string readme;  // the project's README.md, Windows form
HMODULE pelkart = nullptr;
HMODULE reader = nullptr;
Simulator sim;

struct ExportName {
    const char* name;
    int ordinal;
    int arguments;  // values passed, besides the object of a member
};

// The CPelkart members under the decorations of the platform's compiler.
#if defined(_WIN64)
const char kConstructor[] = "??0CPelkart@@QEAA@XZ";
const char kAssignment[] = "??4CPelkart@@QEAAAEAV0@AEBV0@@Z";
#else
const char kConstructor[] = "??0CPelkart@@QAE@XZ";
const char kAssignment[] = "??4CPelkart@@QAEAAV0@ABV0@@Z";
#endif

const ExportName kExports[] = {
    {kConstructor, 1, 0},
    {kAssignment, 2, 1},
    {"DLLVersion", 3, 0},
    {"FelicaGetLastError", 4, 0},
    {"FelicaIDm", 5, 2},
    {"FelicaRWClose", 6, 0},
    {"FelicaRWOpen", 7, 0},
    {"FelicaSuicaBalance", 8, 2},
    {"FelicaSuicaKaisatsu", 9, 2},
    {"FelicaSuicaRecord", 10, 3},
    {"FelicaSuicaRecordAll", 11, 2},
    {"FelicaSuicaRecordAll_01", 12, 2},
    {"GetFelicaIDm", 13, 2},
    {"GetSuicaRecord", 14, 3},
    {"GetSuicaRecordAll", 15, 2},
};

void* Export(const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(pelkart, name));
}
template <typename F>
F Function(const char* name) {
    return reinterpret_cast<F>(GetProcAddress(pelkart, name));
}

// A card whose every block differs, with bytes below 0x10, letters and 0xFF;
// cards of other seeds differ from it in every byte.
struct Card {
    uint8_t idm[8] = {0x01, 0x2E, 0x4C, 0x7F, 0xA0, 0xB1, 0x0A, 0xFF};
    uint8_t pmm[8] = {0x03, 0x01, 0x4B, 0x02, 0x4F, 0x49, 0x93, 0xFF};
    uint8_t balance[16];
    uint8_t gate[48];
    uint8_t history[320];

    explicit Card(uint8_t seed = 0) {
        for (int i = 0; i < 8; ++i) idm[i] = static_cast<uint8_t>(idm[i] + seed);
        for (int i = 0; i < 8; ++i) pmm[i] = static_cast<uint8_t>(pmm[i] + 3 * seed);
        for (int i = 0; i < 16; ++i) balance[i] = static_cast<uint8_t>(0xB0 + i + seed);
        for (int i = 0; i < 48; ++i) gate[i] = static_cast<uint8_t>(0x60 + 5 * i + seed);
        for (int i = 0; i < 320; ++i) history[i] = static_cast<uint8_t>(7 * i + seed);
    }

    // The block text a complete read by the named export gives.
    std::string BlockText(const std::string& name) const {
        if (name == "FelicaSuicaBalance") return Hex(balance, 16);
        if (name == "FelicaSuicaKaisatsu") return Hex(gate, 48);
        if (name == "FelicaSuicaRecord" || name == "GetSuicaRecord") return Hex(history + 16 * 7, 16);
        if (name.find("RecordAll") != std::string::npos) return Hex(history, 320);
        return "";
    }

    std::string Image() const {
        std::string text = "idm " + Hex(idm, 8) + "\npmm " + Hex(pmm, 8) + "\n";
        text += "service 008B\nblock " + Hex(balance, 16) + "\n";
        text += "service 108F\n";
        for (int n = 0; n < 3; ++n) text += "block " + Hex(gate + 16 * n, 16) + "\n";
        text += "service 090F\n";
        for (int n = 0; n < 20; ++n) text += "block " + Hex(history + 16 * n, 16) + "\n";
        return text;
    }
};

const Card card;

// A fresh reader with the test card on it.
void FreshReader() {
    sim.reset();
    ASSERT_EQ(sim.use_card(card.Image().c_str()), 0);
}

TEST(Exports, EveryExportIsFoundByNameAndByOrdinalAtTheSameAddress) {
    for (const ExportName& e : kExports) {
        FARPROC by_name = GetProcAddress(pelkart, e.name);
        FARPROC by_ordinal = GetProcAddress(pelkart, MAKEINTRESOURCEA(e.ordinal));
        EXPECT_NE(by_name, nullptr) << e.name;
        EXPECT_EQ(by_name, by_ordinal) << e.name;
    }
    EXPECT_EQ(GetProcAddress(pelkart, MAKEINTRESOURCEA(16)), nullptr);
}

// VB raises "Bad DLL calling convention" when a function leaves the stack
// pointer elsewhere than where it found it. On x86 each function removes its
// own arguments (stdcall); on x64 the caller removes them. On both the
// callee must keep every nonvolatile register of the caller.
TEST(Exports, EveryFunctionLeavesTheCallersStackAndRegistersAsTheyWere) {
    for (bool open : {false, true}) {
        for (const ExportName& e : kExports) {
            if (e.ordinal <= 2) continue;  // the members take the object: below
            SCOPED_TRACE(std::string(e.name) + (open ? ", reader open" : ", reader closed"));
            FreshReader();
            if (open) {
                ASSERT_EQ(Function<NoArguments>("FelicaRWOpen")(), 1);
            }
            static char first[700], second[700];
            // Texts go as pointers, blockNumber as a Long by value.
            const bool numbered = e.arguments == 3;
            const uintptr_t arguments[3] = {
                reinterpret_cast<uintptr_t>(first),
                numbered ? 3u : reinterpret_cast<uintptr_t>(second),
                reinterpret_cast<uintptr_t>(second)};
            int32_t left = -1, kept = 0;
            call_checked(Export(e.name), nullptr, arguments, e.arguments, &left, &kept);
            EXPECT_EQ(left, 0);
            EXPECT_EQ(kept, 1);
        }
    }
}

// A Long reaches a 64-bit function in the low half of a 64-bit register or
// stack slot, and nothing says what lies above it: blockNumber is the low
// 32 bits alone. (On x86 the slot is the Long itself.)
TEST(Exports, ABlockNumberIsTheLow32BitsOfItsArgument) {
    const uintptr_t block_three = ~uintptr_t{0xFFFFFFFFu} | 3u;
    for (const std::string name : {"FelicaSuicaRecord", "GetSuicaRecord"}) {
        SCOPED_TRACE(name);
        FreshReader();
        const bool connected = name == "FelicaSuicaRecord";
        if (connected) {
            ASSERT_EQ(Function<NoArguments>("FelicaRWOpen")(), 1);
        }
        OutBuffer block(33), idm(17);
        const uintptr_t arguments[3] = {reinterpret_cast<uintptr_t>(block.data()), block_three,
                                        reinterpret_cast<uintptr_t>(idm.data())};
        int32_t left = -1, kept = 0;
        const intptr_t result = call_checked(Export(name.c_str()), nullptr, arguments, 3, &left, &kept);
        EXPECT_EQ(static_cast<int32_t>(result), 1);
        EXPECT_TRUE(block.Holds(Hex(card.history + 16 * 3, 16)));
        EXPECT_TRUE(idm.Holds(Hex(card.idm, 8)));
    }
}

// The members take the object as a C++ compiler passes this (thiscall on
// x86, the first argument on x64) and return it.
TEST(Exports, CPelkartMembersTakeTheObjectAndReturnItWritingNothing) {
    OutBuffer left(8), right(8);
    int32_t stack_left = -1, kept = 0;
    const intptr_t constructed =
        call_checked(Export(kConstructor), left.data(), nullptr, 0, &stack_left, &kept);
    EXPECT_EQ(constructed, reinterpret_cast<intptr_t>(left.data()));
    EXPECT_EQ(stack_left, 0);
    EXPECT_EQ(kept, 1);

    const uintptr_t from[1] = {reinterpret_cast<uintptr_t>(right.data())};
    const intptr_t assigned = call_checked(Export(kAssignment), left.data(),
                                           from, 1, &stack_left, &kept);
    EXPECT_EQ(assigned, reinterpret_cast<intptr_t>(left.data()));
    EXPECT_EQ(stack_left, 0);  // the assignment removed its one argument
    EXPECT_EQ(kept, 1);
    EXPECT_TRUE(left.Untouched());
    EXPECT_TRUE(right.Untouched());
}

TEST(Module, EntryReturnsTrueForEveryNotificationAndCallsNothing) {
    auto base = reinterpret_cast<const uint8_t*>(pelkart);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    void* entry = const_cast<uint8_t*>(base + nt->OptionalHeader.AddressOfEntryPoint);
    sim.reset();
    for (uint32_t reason : {DLL_PROCESS_ATTACH, DLL_THREAD_ATTACH, DLL_THREAD_DETACH, DLL_PROCESS_DETACH}) {
        const uintptr_t arguments[3] = {reinterpret_cast<uintptr_t>(pelkart), reason, 0};
        int32_t left = -1, kept = 0;
        // A BOOL is 32 bits: what lies above them in RAX on x64 means nothing.
        EXPECT_EQ(static_cast<int32_t>(call_checked(entry, nullptr, arguments, 3, &left, &kept)),
                  TRUE) << reason;
        EXPECT_EQ(left, 0);
    }
    EXPECT_EQ(sim.log_count(), 0);
}

std::string VersionString(const std::vector<char>& info, const std::string& key) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = "\\StringFileInfo\\041104b0\\" + key;
    if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
        return "(missing)";
    return std::string(value);
}

TEST(Module, VersionRecordReadsAsWindowsShowsIt) {
    const std::string path = dist + "Pelkart.dll";
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x17u);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 1200);

    const std::string description = "Read Felica IDm and SFCard(Suica etc.) for VB and VBA";
    EXPECT_EQ(VersionString(info, "Comments"), description);
    EXPECT_EQ(VersionString(info, "FileDescription"), description);
    EXPECT_EQ(VersionString(info, "FileVersion"), "1, 0, 0, 1");
    EXPECT_EQ(VersionString(info, "ProductName"), "Pelkart");
    EXPECT_EQ(VersionString(info, "ProductVersion"), "1, 0, 0, 1");
}

// The reading exports, with what a complete read of the test card gives.
struct Reading {
    const char* name;
    bool one_shot;
    size_t pmm_size;
    size_t block_size;
    int32_t success;
    std::string calls;  // the reader calls of a complete read
    std::function<int32_t(char* idm, char* pmm, char* block)> call;
};

const std::string R20(20, 'R');

const std::vector<Reading>& Readings() {
    static const std::vector<Reading> readings = {
        {"FelicaIDm", false, 17, 0, 1, "P",
         [](char* i, char* p, char*) { return Function<TwoTexts>("FelicaIDm")(i, p); }},
        {"GetFelicaIDm", true, 17, 0, 1, "IOPCD",
         [](char* i, char* p, char*) { return Function<TwoTexts>("GetFelicaIDm")(i, p); }},
        {"FelicaSuicaBalance", false, 0, 33, 1, "PS",
         [](char* i, char*, char* b) { return Function<TwoTexts>("FelicaSuicaBalance")(b, i); }},
        {"FelicaSuicaKaisatsu", false, 0, 97, 1, "PS",
         [](char* i, char*, char* b) { return Function<TwoTexts>("FelicaSuicaKaisatsu")(b, i); }},
        {"FelicaSuicaRecordAll", false, 0, 641, 670, "PS",
         [](char* i, char*, char* b) { return Function<TwoTexts>("FelicaSuicaRecordAll")(i, b); }},
        {"FelicaSuicaRecord", false, 0, 33, 1, "PR",
         [](char* i, char*, char* b) { return Function<TextNumberText>("FelicaSuicaRecord")(b, 7, i); }},
        {"GetSuicaRecord", true, 0, 33, 1, "IOPRCD",
         [](char* i, char*, char* b) { return Function<TextNumberText>("GetSuicaRecord")(b, 7, i); }},
        {"FelicaSuicaRecordAll_01", false, 0, 641, 1, "P" + R20,
         [](char* i, char*, char* b) { return Function<TwoTexts>("FelicaSuicaRecordAll_01")(i, b); }},
        {"GetSuicaRecordAll", true, 0, 641, 1, "IOP" + R20 + "CD",
         [](char* i, char*, char* b) { return Function<TwoTexts>("GetSuicaRecordAll")(i, b); }},
    };
    return readings;
}

const Reading& ReadingNamed(const std::string& name) {
    for (const Reading& r : Readings())
        if (name == r.name) return r;
    std::abort();
}

struct Outputs {
    OutBuffer idm{17};
    OutBuffer pmm;
    OutBuffer block;
    Outputs(const Reading& r) : pmm(r.pmm_size), block(r.block_size) {}
    int32_t Call(const Reading& r) {
        return r.call(idm.data(), r.pmm_size ? pmm.data() : nullptr,
                      r.block_size ? block.data() : nullptr);
    }
};

// Opens the connection for a connected-mode read, then clears the log.
void Prepare(const Reading& r) {
    FreshReader();
    if (!r.one_shot) {
        ASSERT_EQ(Function<NoArguments>("FelicaRWOpen")(), 1);
        const std::string opened = sim.Calls();
        ASSERT_EQ(opened, "IO");
    }
}

// Calls made by the read itself, after any opening in Prepare.
std::string ReadCalls(const Reading& r) {
    const std::string calls = sim.Calls();
    return r.one_shot ? calls : calls.substr(2);
}

TEST(EndToEnd, EveryReadGivesTheCardsTextsThroughTheReaderLibrary) {
    for (const Reading& r : Readings()) {
        SCOPED_TRACE(r.name);
        Prepare(r);
        Outputs out(r);
        EXPECT_EQ(out.Call(r), r.success);
        EXPECT_EQ(ReadCalls(r), r.calls);
        EXPECT_TRUE(out.idm.Holds(Hex(card.idm, 8)));
        if (r.pmm_size) {
            EXPECT_TRUE(out.pmm.Holds(Hex(card.pmm, 8)));
        }
        if (r.block_size) {
            EXPECT_TRUE(out.block.Holds(card.BlockText(r.name)));
        }
    }
}

// The records the reader library receives, as it reads them: the layout of
// every field crosses from one compiler to another here.
TEST(EndToEnd, TheReaderLibraryReceivesTheRecordsFieldByField) {
    const Reading& history = ReadingNamed("FelicaSuicaRecordAll_01");
    Prepare(history);
    Outputs out(history);
    ASSERT_EQ(out.Call(history), 1);
    const SimCall poll = sim.Entry(2);
    EXPECT_EQ(poll.op, kSimPoll);
    EXPECT_EQ(poll.system_code[0], 0xFF);
    EXPECT_EQ(poll.system_code[1], 0xFF);
    EXPECT_EQ(poll.time_slot, 0);
    EXPECT_EQ(poll.number_of_cards_before, 0);
    for (int n = 0; n < 20; ++n) {
        const SimCall read = sim.Entry(3 + n);
        EXPECT_EQ(read.op, kSimReadBlock);
        EXPECT_EQ(Hex(read.card_idm, 8), Hex(card.idm, 8));
        EXPECT_EQ(read.number_of_services, 1);
        EXPECT_EQ(read.service_code[0], 0x0F);
        EXPECT_EQ(read.service_code[1], 0x09);
        EXPECT_EQ(read.number_of_blocks, 1);
        EXPECT_EQ(read.has_block_list, 1);
        EXPECT_EQ(read.block_list_element[0], 0x80);
        EXPECT_EQ(read.block_list_element[1], n);
        EXPECT_EQ(read.status_before[0] | read.status_before[1] | read.status_before[2], 0);
    }

    const Reading& gate = ReadingNamed("FelicaSuicaKaisatsu");
    Prepare(gate);
    Outputs gate_out(gate);
    ASSERT_EQ(gate_out.Call(gate), 1);
    const SimCall exchange = sim.Entry(3);
    EXPECT_EQ(exchange.op, kSimReadService);
    EXPECT_EQ(exchange.system_code[0], 0xFF);
    EXPECT_EQ(exchange.time_slot, 0);
    EXPECT_EQ(exchange.number_of_services, 1);
    EXPECT_EQ(exchange.service_code[0], 0x8F);
    EXPECT_EQ(exchange.service_code[1], 0x10);
    EXPECT_EQ(exchange.number_of_blocks, 3);
    EXPECT_EQ(exchange.has_block_list, 0);
}

// The fault matrix against the reader simulator: every export failed at
// each reader call of its complete run, the failure injected in the simulator.
class SimulatorSuite {
public:
    void Prepare(const faults::Export& e) {
        FreshReader();
        opened_ = 0;
        if (e.connected) {
            ASSERT_EQ(Function<NoArguments>("FelicaRWOpen")(), 1);
            opened_ = sim.Calls().size();
        }
    }

    void Fail(char call, int nth) {
        sim.inject(static_cast<int32_t>(std::string(kOpLetters).find(call)), nth, 0);
    }

    int32_t Call(const faults::Export& e, faults::Outputs& out) {
        const std::string name = e.name;
        if (name == "FelicaRWOpen" || name == "FelicaRWClose" || name == "FelicaGetLastError")
            return Function<NoArguments>(e.name)();
        const Reading& r = ReadingNamed(name);
        EXPECT_EQ(r.block_size, e.block_size);
        EXPECT_EQ(r.pmm_size, e.pmm_size);
        return r.call(out.idm.data(), r.pmm_size ? out.pmm.data() : nullptr,
                      r.block_size ? out.block.data() : nullptr);
    }

    std::string Calls() const { return sim.Calls().substr(opened_); }

    faults::Texts Complete(const faults::Export& e) const {
        return {Hex(card.idm, 8), Hex(card.pmm, 8), card.BlockText(e.name)};
    }

private:
    size_t opened_ = 0;
};

TEST(EndToEnd, EveryExportFailedAtEachReaderCall) {
    static_assert(faults::kBlock == 7, "the block the readings table reads");
    SimulatorSuite suite;
    const int covered = faults::Run(suite);
    std::printf("fault points covered: %d\n", covered);
}

// Eight threads read at once through one open reader, each with a card of
// its own before it: every text a thread receives is its own card's. The
// module keeps no state of its own between or across calls; this shows it.
TEST(Concurrency, EightThreadsEachReceiveOnlyTheirOwnCardsTexts) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 25;
    if (sizeof(void*) == 4 && std::getenv("PELKART_WINE_EMULATED") != nullptr) {
        // (Not GTEST_SKIP: reporting a skip starts a thread of GoogleTest's own.)
        std::printf("not run: 32-bit Wine runs under qemu's user-mode emulator here, "
                    "and there a program cannot start a second thread\n");
        return;
    }
    FreshReader();
    ASSERT_EQ(Function<NoArguments>("FelicaRWOpen")(), 1);

    std::vector<std::string> wrong(kThreads);  // what each thread saw go wrong
    std::vector<int> calls(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const Card mine(static_cast<uint8_t>(0x11 * (t + 1)));
            if (sim.use_card_on_this_thread(mine.Image().c_str()) != 0) {
                wrong[t] = "the simulator refused the thread's card";
                return;
            }
            for (int round = 0; round < kRounds; ++round) {
                for (const Reading& r : Readings()) {
                    if (r.one_shot) continue;
                    Outputs out(r);
                    const int32_t result = out.Call(r);
                    ++calls[t];
                    std::string seen;
                    if (result != r.success) seen += " result " + std::to_string(result) + ";";
                    if (!out.idm.Holds(Hex(mine.idm, 8))) seen += " IDm;";
                    if (r.pmm_size && !out.pmm.Holds(Hex(mine.pmm, 8))) seen += " PMm;";
                    if (r.block_size && !out.block.Holds(mine.BlockText(r.name))) seen += " blocks;";
                    if (!seen.empty() && wrong[t].empty())
                        wrong[t] = std::string(r.name) + " in round " + std::to_string(round) + ":" + seen;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(Function<NoArguments>("FelicaRWClose")(), 1);

    int total = 0;
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(wrong[t], "") << "thread " << t;
        total += calls[t];
    }
    std::printf("threads x calls: %d x %d\n", kThreads, total / kThreads);
}

// The README's table of reader round trips per export is what the
// simulator counted: a row for every export that calls the reader library.
TEST(RoundTrips, TheReadmeTableIsWhatTheSimulatorCounted) {
    std::vector<std::string> rows;
    const auto row = [&](const std::string& name, const std::string& calls) {
        std::string runs;  // "I O P R×20 C D"
        for (size_t i = 0; i < calls.size();) {
            size_t j = i;
            while (j < calls.size() && calls[j] == calls[i]) ++j;
            if (!runs.empty()) runs += ' ';
            runs += calls[i];
            if (j - i > 1) runs += "\xC3\x97" + std::to_string(j - i);  // ×, in UTF-8
            i = j;
        }
        rows.push_back("| `" + name + "` | " + std::to_string(calls.size()) + " | " + runs + " |");
    };
    for (const char* name : {"FelicaRWOpen", "FelicaRWClose", "FelicaGetLastError"}) {
        FreshReader();
        if (std::string(name) == "FelicaRWClose") {
            ASSERT_EQ(Function<NoArguments>("FelicaRWOpen")(), 1);
        }
        const size_t before = sim.Calls().size();
        Function<NoArguments>(name)();
        row(name, sim.Calls().substr(before));
    }
    for (const Reading& r : Readings()) {
        Prepare(r);
        Outputs out(r);
        ASSERT_EQ(out.Call(r), r.success) << r.name;
        row(r.name, ReadCalls(r));
    }
    FILE* file = std::fopen(readme.c_str(), "rb");
    ASSERT_NE(file, nullptr) << readme;
    std::string text;
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
    std::fclose(file);
    for (const std::string& line : rows) {
        std::printf("%s\n", line.c_str());
        EXPECT_NE(text.find(line + "\n"), std::string::npos) << "README.md lacks the row: " << line;
    }
}

TEST(Connection, ReadsWithoutAnOpenReaderFailAndTheLastErrorSaysWhy) {
    FreshReader();
    OutBuffer idm(17), pmm(17);
    EXPECT_EQ(Function<TwoTexts>("FelicaIDm")(idm.data(), pmm.data()), -12);
    EXPECT_TRUE(idm.Untouched());
    EXPECT_EQ(Function<NoArguments>("FelicaGetLastError")(), 1001);  // not initialised
    EXPECT_EQ(Function<NoArguments>("FelicaRWClose")(), -13);
    ASSERT_EQ(Function<NoArguments>("FelicaRWOpen")(), 1);
    ASSERT_EQ(Function<NoArguments>("FelicaRWClose")(), 1);
    EXPECT_EQ(Function<NoArguments>("FelicaRWClose")(), -13);
    EXPECT_EQ(Function<NoArguments>("DLLVersion")(), 1);
    EXPECT_EQ(sim.Calls(), "PEC" "IOCD" "C");
}

TEST(Simulator, ServesTheBuiltInSampleCardAndACardImageFromAFile) {
    sim.reset();  // no card given: the built-in sample, as a user's first run gets it
    OutBuffer idm(17), pmm(17);
    EXPECT_EQ(Function<TwoTexts>("GetFelicaIDm")(idm.data(), pmm.data()), 1);
    EXPECT_TRUE(idm.Holds("0101012EA40B3C7E"));

    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "pelkart-card.txt";
    const auto write = [&](const std::string& text) {
        FILE* file = std::fopen(path.c_str(), "wb");
        std::fputs(text.c_str(), file);
        std::fclose(file);
    };
    SetEnvironmentVariableA("FELICA_SIM_CARD", path.c_str());
    write(card.Image());
    OutBuffer idm2(17), pmm2(17);
    EXPECT_EQ(Function<TwoTexts>("GetFelicaIDm")(idm2.data(), pmm2.data()), 1);
    EXPECT_TRUE(idm2.Holds(Hex(card.idm, 8)));

    write("idm 0123\npmm 0011223344556677\n");  // line 1 is malformed
    EXPECT_EQ(Function<TwoTexts>("GetFelicaIDm")(idm.data(), pmm.data()), -10);
    EXPECT_EQ(Function<NoArguments>("FelicaGetLastError")(), 5001);
    SetEnvironmentVariableA("FELICA_SIM_CARD", nullptr);
    DeleteFileA(path.c_str());
}

TEST(Simulator, NoCardOnTheReaderFailsThePolling) {
    sim.reset();
    ASSERT_EQ(sim.use_card((card.Image() + "absent\n").c_str()), 0);
    OutBuffer idm(17), block(33);
    EXPECT_EQ(Function<TextNumberText>("GetSuicaRecord")(block.data(), 0, idm.data()), -12);
    EXPECT_EQ(Function<NoArguments>("FelicaGetLastError")(), 2001);
    EXPECT_EQ(sim.Calls(), "IOPCDE");
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <folder of Pelkart.dll and felica.dll> <README.md>\n", argv[0]);
        return 2;
    }
    dist = WindowsPath(argv[1]);
    readme = WindowsPath(argv[2]);
    readme.pop_back();  // a file, not a folder
    pelkart = LoadLibraryExA((dist + "Pelkart.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    reader = GetModuleHandleA("felica.dll");
    if (pelkart == nullptr || reader == nullptr || !sim.Bind(reader)) {
        std::fprintf(stderr, "cannot load Pelkart.dll beside the reader simulator in %s (error %lu)\n",
                     dist.c_str(), GetLastError());
        return 1;
    }
    return RUN_ALL_TESTS();
}
