// The reading exports as the tests call them: each with the outputs it has
// and the size the caller must give each one, so that one table of cases can
// run over all of them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "exports/pelkart.h"
#include "fake_reader.h"
#include "out_buffer.h"

// The texts a caller gets back; a size of 0 means the export has no such output.
struct Outputs {
    OutBuffer idm;
    OutBuffer pmm;
    OutBuffer block;
};

struct ReadingExport {
    std::string name;
    bool one_shot;
    size_t pmm_size;    // 17 or 0
    size_t block_size;  // 33, 97, 641 or 0
    // Calls the export with the three outputs (each may be null); the block
    // number, where the export takes one, is kRecordBlock.
    std::function<int32_t(char* idm, char* pmm, char* block)> call;

    Outputs MakeOutputs() const { return Outputs{OutBuffer(17), OutBuffer(pmm_size), OutBuffer(block_size)}; }
    int32_t Call(Outputs& out) const {
        return call(out.idm.data(), pmm_size ? out.pmm.data() : nullptr,
                    block_size ? out.block.data() : nullptr);
    }
};

constexpr int32_t kRecordBlock = 7;

inline const std::vector<ReadingExport>& ReadingExports() {
    static const std::vector<ReadingExport> exports = {
        {"FelicaIDm", false, 17, 0, [](char* i, char* p, char*) { return FelicaIDm(i, p); }},
        {"GetFelicaIDm", true, 17, 0, [](char* i, char* p, char*) { return GetFelicaIDm(i, p); }},
        {"FelicaSuicaBalance", false, 0, 33,
         [](char* i, char*, char* b) { return FelicaSuicaBalance(b, i); }},
        {"FelicaSuicaKaisatsu", false, 0, 97,
         [](char* i, char*, char* b) { return FelicaSuicaKaisatsu(b, i); }},
        {"FelicaSuicaRecord", false, 0, 33,
         [](char* i, char*, char* b) { return FelicaSuicaRecord(b, kRecordBlock, i); }},
        {"GetSuicaRecord", true, 0, 33,
         [](char* i, char*, char* b) { return GetSuicaRecord(b, kRecordBlock, i); }},
        {"FelicaSuicaRecordAll", false, 0, 641,
         [](char* i, char*, char* b) { return FelicaSuicaRecordAll(i, b); }},
        {"FelicaSuicaRecordAll_01", false, 0, 641,
         [](char* i, char*, char* b) { return FelicaSuicaRecordAll_01(i, b); }},
        {"GetSuicaRecordAll", true, 0, 641,
         [](char* i, char*, char* b) { return GetSuicaRecordAll(i, b); }},
    };
    return exports;
}

// The full texts of the sample card, as the exports give them on success.
inline std::string IdmText(const Card& c) { return Hex(c.idm); }
inline std::string PmmText(const Card& c) { return Hex(c.pmm); }
inline std::string HistoryText(const Card& c, int blocks = 20) {
    return Hex(c.history.data(), 16 * static_cast<size_t>(blocks));
}
inline std::string HistoryBlockText(const Card& c, int n) {
    return Hex(&c.history[16 * static_cast<size_t>(n)], 16);
}

// The block text a complete read of the card gives, by export; empty for
// the exports with no block output.
inline std::string BlockText(const std::string& name, const Card& c) {
    if (name == "FelicaSuicaBalance") return Hex(c.balance);
    if (name == "FelicaSuicaKaisatsu") return Hex(c.ticket_gate);
    if (name == "FelicaSuicaRecord" || name == "GetSuicaRecord") return HistoryBlockText(c, kRecordBlock);
    if (name.find("RecordAll") != std::string::npos) return HistoryText(c);
    return "";
}

// The result of a complete read, by export.
inline int32_t SuccessOf(const std::string& name) { return name == "FelicaSuicaRecordAll" ? 670 : 1; }
