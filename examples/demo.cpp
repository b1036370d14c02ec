// Reads the reader's card through Pelkart.dll the way a VBA macro does: the
// module loaded by name, each function looked up by name, every text buffer
// allocated at its full size, every result code checked. Beside the raw hex
// it shows what a caller can decode from it.
//
//   demo <folder of Pelkart.dll and felica.dll>
#include <windows.h>

#include <stdint.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using NoArguments = int32_t(__stdcall*)();
using TwoTexts = int32_t(__stdcall*)(char*, char*);
using TextNumberText = int32_t(__stdcall*)(char*, int32_t, char*);

HMODULE pelkart = nullptr;
int unexpected = 0;

template <typename F>
F Declare(const char* name) {
    auto function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(pelkart, name)));
    if (function == nullptr) {
        std::printf("  no entry point %s (VBA error 453)\n", name);
        std::exit(1);
    }
    return function;
}

// A VBA String$(size, vbNullChar), and the text up to its first NUL.
struct Text {
    explicit Text(size_t size) : buffer(size, '\0') {}
    char* data() { return &buffer[0]; }
    std::string str() const { return std::string(buffer.c_str()); }
    std::string buffer;
};

void Expect(const char* call, int32_t result, int32_t expected) {
    std::printf("%-40s -> %d%s\n", call, result, result == expected ? "" : "   UNEXPECTED");
    if (result != expected) ++unexpected;
}

// Byte k of a hex text, as Mid$ and CLng("&H" & ...) would give it.
int Byte(const std::string& hex, size_t k) {
    return static_cast<int>(std::stoul(hex.substr(2 * k, 2), nullptr, 16));
}

const char* Terminal(int type) {
    switch (type) {
        case 0x16: return "ticket gate";
        case 0x05: return "bus";
        case 0xC7: return "shop terminal";
        case 0x08: return "ticket machine";
        default: return "terminal";
    }
}

const char* Process(int type) {
    switch (type) {
        case 0x01: return "fare";
        case 0x02: return "charge";
        case 0x46: return "purchase";
        case 0x0D: return "bus fare";
        default: return "other";
    }
}

void ShowHistory(const std::string& history) {
    std::printf("\n  n  raw block                         date        kind                      balance after\n");
    for (size_t n = 0; 32 * n + 32 <= history.size(); ++n) {
        const std::string block = history.substr(32 * n, 32);
        if (block == std::string(32, '0')) {
            std::printf("  %2zu %s  (unused)\n", n, block.c_str());
            continue;
        }
        const int date = Byte(block, 4) << 8 | Byte(block, 5);
        char kind[64];
        std::snprintf(kind, sizeof kind, "%s, %s", Terminal(Byte(block, 0)), Process(Byte(block, 1)));
        std::printf("  %2zu %s  %04d-%02d-%02d  %-24s  %6d yen\n", n, block.c_str(),
                    2000 + (date >> 9), (date >> 5) & 0x0F, date & 0x1F, kind,
                    Byte(block, 10) | Byte(block, 11) << 8);
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : ".";
    if (!folder.empty() && folder[0] == '/') folder = "Z:" + folder;
    for (char& c : folder)
        if (c == '/') c = '\\';
    const std::string path = folder + "\\Pelkart.dll";
    pelkart = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (pelkart == nullptr) {
        std::printf("cannot load %s (error %lu; VBA error 48)\n", path.c_str(), GetLastError());
        return 1;
    }

    auto DLLVersion = Declare<NoArguments>("DLLVersion");
    auto FelicaRWOpen = Declare<NoArguments>("FelicaRWOpen");
    auto FelicaRWClose = Declare<NoArguments>("FelicaRWClose");
    auto FelicaGetLastError = Declare<NoArguments>("FelicaGetLastError");
    auto FelicaIDm = Declare<TwoTexts>("FelicaIDm");
    auto FelicaSuicaBalance = Declare<TwoTexts>("FelicaSuicaBalance");
    auto FelicaSuicaKaisatsu = Declare<TwoTexts>("FelicaSuicaKaisatsu");
    auto FelicaSuicaRecord = Declare<TextNumberText>("FelicaSuicaRecord");
    auto FelicaSuicaRecordAll = Declare<TwoTexts>("FelicaSuicaRecordAll");
    auto FelicaSuicaRecordAll_01 = Declare<TwoTexts>("FelicaSuicaRecordAll_01");
    auto GetFelicaIDm = Declare<TwoTexts>("GetFelicaIDm");
    auto GetSuicaRecord = Declare<TextNumberText>("GetSuicaRecord");
    auto GetSuicaRecordAll = Declare<TwoTexts>("GetSuicaRecordAll");

    std::printf("Pelkart demo, %d-bit: %s\n\n", static_cast<int>(8 * sizeof(void*)), path.c_str());
    Expect("DLLVersion()", DLLVersion(), 1);

    std::printf("\n-- connected mode\n");
    Expect("FelicaRWOpen()", FelicaRWOpen(), 1);

    Text idm(17), pmm(17);
    Expect("FelicaIDm(idm, pmm)", FelicaIDm(idm.data(), pmm.data()), 1);
    std::printf("  IDm %s  PMm %s\n", idm.str().c_str(), pmm.str().c_str());

    Text balance(33);
    Expect("FelicaSuicaBalance(block, idm)", FelicaSuicaBalance(balance.data(), idm.data()), 1);
    const std::string balance_hex = balance.str();
    std::printf("  %s\n  balance: %d yen (bytes 11-12, low byte first)\n", balance_hex.c_str(),
                balance_hex.size() == 32 ? Byte(balance_hex, 11) | Byte(balance_hex, 12) << 8 : -1);

    Text gate(97);
    Expect("FelicaSuicaKaisatsu(block, idm)", FelicaSuicaKaisatsu(gate.data(), idm.data()), 1);
    for (size_t n = 0; 32 * n < gate.str().size(); ++n)
        std::printf("  gate record %zu: %s\n", n, gate.str().substr(32 * n, 32).c_str());

    Text exchanged(641), block_by_block(641);
    Expect("FelicaSuicaRecordAll(idm, block)", FelicaSuicaRecordAll(idm.data(), exchanged.data()), 670);
    Expect("FelicaSuicaRecordAll_01(idm, block)",
           FelicaSuicaRecordAll_01(idm.data(), block_by_block.data()), 1);
    const bool agree = exchanged.str().size() == 640 && exchanged.str() == block_by_block.str();
    std::printf("  one exchange and block by block %s (%zu characters)\n",
                agree ? "agree" : "DISAGREE", exchanged.str().size());
    if (!agree) ++unexpected;
    ShowHistory(exchanged.str());

    Text record(33);
    Expect("FelicaSuicaRecord(block, 0, idm)", FelicaSuicaRecord(record.data(), 0, idm.data()), 1);
    std::printf("  newest entry: %s\n", record.str().c_str());
    Expect("FelicaRWClose()", FelicaRWClose(), 1);

    std::printf("\n-- one-shot mode\n");
    Text one_idm(17), one_pmm(17), one_record(33), one_all(641);
    Expect("GetFelicaIDm(idm, pmm)", GetFelicaIDm(one_idm.data(), one_pmm.data()), 1);
    std::printf("  IDm %s  PMm %s\n", one_idm.str().c_str(), one_pmm.str().c_str());
    Expect("GetSuicaRecord(block, 5, idm)", GetSuicaRecord(one_record.data(), 5, one_idm.data()), 1);
    std::printf("  entry 5: %s\n", one_record.str().c_str());
    Expect("GetSuicaRecordAll(idm, block)", GetSuicaRecordAll(one_idm.data(), one_all.data()), 1);
    std::printf("  %zu characters, %s the connected read\n", one_all.str().size(),
                one_all.str() == exchanged.str() ? "as" : "NOT as");
    if (one_all.str() != exchanged.str()) ++unexpected;

    std::printf("\n-- failures\n");
    Text after_close(17), after_close_pmm(17);
    Expect("FelicaIDm(idm, pmm) after FelicaRWClose", FelicaIDm(after_close.data(), after_close_pmm.data()), -12);
    const int32_t last_error = FelicaGetLastError();
    std::printf("  FelicaGetLastError() = %d (the reader library's error types %d and %d)\n",
                last_error, last_error / 1000, last_error % 1000);
    Expect("GetSuicaRecord(block, 20, idm)", GetSuicaRecord(one_record.data(), 20, one_idm.data()), -9);

    std::printf("\n%s\n", unexpected == 0 ? "every call returned what it should" : "SOME CALLS FAILED");
    return unexpected == 0 ? 0 : 1;
}
