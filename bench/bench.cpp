// What Pelkart costs of its own: every reading export against a reader
// library that answers at once, and the hex formatters beside an
// snprintf("%02X") loop over the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "exports/pelkart.h"
#include "hex/hex.h"
#include "reader/felica.h"

namespace {

uint8_t card_bytes[320];

struct CardInit {
    CardInit() {
        for (int i = 0; i < 320; ++i) card_bytes[i] = static_cast<uint8_t>(7 * i + 3);
    }
} card_init;

}  // namespace

// A reader library with a card on it that answers at once.
extern "C" {
int32_t initialize_library(void) { return 1; }
int32_t dispose_library(void) { return 1; }
int32_t open_reader_writer_auto(void) { return 1; }
int32_t close_reader_writer(void) { return 1; }
int32_t polling_and_get_card_information(polling_request*, uint8_t* cards, card_information* info) {
    *cards = 1;
    std::memcpy(info->card_idm, card_bytes, 8);
    std::memcpy(info->card_pmm, card_bytes + 8, 8);
    return 1;
}
int32_t read_block_without_encryption(read_request* request, block_result* result) {
    std::memcpy(result->block_data, card_bytes + 16 * request->block_list[1], 16);
    *result->returned_block_count = 1;
    return 1;
}
int32_t polling_and_read_service_without_encryption(polling_request*, read_request* request,
                                                    card_information* info, block_result* result) {
    std::memcpy(info->card_idm, card_bytes, 8);
    std::memcpy(result->block_data, card_bytes, 16u * request->number_of_blocks);
    *result->returned_block_count = request->number_of_blocks;
    return 1;
}
int32_t get_last_error_types(int32_t* first, int32_t* second) {
    *first = 2;
    *second = 5;
    return 1;
}
}

namespace {

char idm[17], pmm[17], block[641];

template <int32_t (*Read)(char*, char*)>
void TwoTexts(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(Read(idm, block));
        benchmark::ClobberMemory();
    }
}

int32_t FelicaIDmWrapped(char* i, char*) { return FelicaIDm(i, pmm); }
int32_t GetFelicaIDmWrapped(char* i, char*) { return GetFelicaIDm(i, pmm); }
int32_t FelicaSuicaBalanceWrapped(char* i, char* b) { return FelicaSuicaBalance(b, i); }
int32_t FelicaSuicaKaisatsuWrapped(char* i, char* b) { return FelicaSuicaKaisatsu(b, i); }
int32_t FelicaSuicaRecordWrapped(char* i, char* b) { return FelicaSuicaRecord(b, 7, i); }
int32_t GetSuicaRecordWrapped(char* i, char* b) { return GetSuicaRecord(b, 7, i); }

BENCHMARK(TwoTexts<FelicaIDmWrapped>)->Name("FelicaIDm");
BENCHMARK(TwoTexts<GetFelicaIDmWrapped>)->Name("GetFelicaIDm");
BENCHMARK(TwoTexts<FelicaSuicaBalanceWrapped>)->Name("FelicaSuicaBalance");
BENCHMARK(TwoTexts<FelicaSuicaKaisatsuWrapped>)->Name("FelicaSuicaKaisatsu");
BENCHMARK(TwoTexts<FelicaSuicaRecordWrapped>)->Name("FelicaSuicaRecord");
BENCHMARK(TwoTexts<GetSuicaRecordWrapped>)->Name("GetSuicaRecord");
BENCHMARK(TwoTexts<FelicaSuicaRecordAll>)->Name("FelicaSuicaRecordAll");
BENCHMARK(TwoTexts<FelicaSuicaRecordAll_01>)->Name("FelicaSuicaRecordAll_01");
BENCHMARK(TwoTexts<GetSuicaRecordAll>)->Name("GetSuicaRecordAll");

void FelicaGetLastErrorBench(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(FelicaGetLastError());
}
BENCHMARK(FelicaGetLastErrorBench)->Name("FelicaGetLastError");

// The 320 bytes of a history read, formatted by each formatter as its
// callers use it, and by snprintf.
char text[641];

void IdHex320(benchmark::State& state) {
    for (auto _ : state) {
        for (int n = 0; n < 40; ++n) IdHexFormatter(card_bytes + 8 * n, text + 16 * n);
        benchmark::ClobberMemory();
    }
}
void BlockHex320(benchmark::State& state) {
    for (auto _ : state) {
        for (int n = 0; n < 20; ++n) BlockHexFormatter(card_bytes + 16 * n, text + 32 * n);
        benchmark::ClobberMemory();
    }
}
void HexRun320(benchmark::State& state) {
    for (auto _ : state) {
        HexRunFormatter(card_bytes, 320, text);
        benchmark::ClobberMemory();
    }
}
void Snprintf320(benchmark::State& state) {
    for (auto _ : state) {
        for (int i = 0; i < 320; ++i) std::snprintf(text + 2 * i, 3, "%02X", card_bytes[i]);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(IdHex320)->Name("IdHexFormatter/320B");
BENCHMARK(BlockHex320)->Name("BlockHexFormatter/320B");
BENCHMARK(HexRun320)->Name("HexRunFormatter/320B");
BENCHMARK(Snprintf320)->Name("snprintf%02X/320B");

// Collects the figures the goals are stated in, and prints them after the run.
class Goals : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) ns_[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double printf_ns = ns_["snprintf%02X/320B"];
        std::printf("\nGoals, as measured on this machine:\n");
        std::printf("  FelicaSuicaRecordAll_01, twenty blocks: %.1f ns of the DLL's own time (goal: under 1000 ns)\n",
                    ns_["FelicaSuicaRecordAll_01"]);
        for (const char* name : {"IdHexFormatter/320B", "BlockHexFormatter/320B", "HexRunFormatter/320B"})
            std::printf("  %-24s %8.1f ns, %6.1fx faster than snprintf (%.1f ns; goal: at least 10x)\n",
                        name, ns_[name], printf_ns / ns_[name], printf_ns);
        std::ifstream dll(PELKART_DLL, std::ios::binary | std::ios::ate);
        if (dll)
            std::printf("  dist/x86/Pelkart.dll: %lld bytes (goal: at most 8192)\n",
                        static_cast<long long>(dll.tellg()));
    }

private:
    std::map<std::string, double> ns_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Goals goals;
    benchmark::RunSpecifiedBenchmarks(&goals);
    benchmark::Shutdown();
    return 0;
}
