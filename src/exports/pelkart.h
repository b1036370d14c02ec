// Pelkart's exports: thirteen stdcall functions under their plain names, for
// VB and VBA Declare statements, and the empty class CPelkart.
//
// Every output is a caller-allocated buffer of single-byte characters that
// receives NUL-terminated uppercase hex text. Minimum sizes, terminator
// included: IDm and PMm 17 bytes; one block 33; the three ticket-gate blocks
// 97; the twenty usage-history blocks 641. A null output pointer is skipped.
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#define PELKART_API extern "C" int32_t __stdcall
#define PELKART_ENTRY extern "C" int __stdcall
#else
#define PELKART_API extern "C" int32_t
#define PELKART_ENTRY extern "C" int
#endif

// Always 1.
PELKART_API DLLVersion(void);

// Connected mode: open once, read any number of times, close.
PELKART_API FelicaRWOpen(void);   // 1, -10, -11
PELKART_API FelicaRWClose(void);  // 1, -13, -14

// The reader library's last error as 1000 * first type + second type, each
// negative type taken as 0, at most 2147483647.
PELKART_API FelicaGetLastError(void);

PELKART_API FelicaIDm(char* idmText, char* pmmText);              // 1, -12
PELKART_API FelicaSuicaBalance(char* blockText, char* idmText);   // 1, -12, -15
PELKART_API FelicaSuicaKaisatsu(char* blockText, char* idmText);  // 1, -12, -15
PELKART_API FelicaSuicaRecord(char* blockText, int32_t blockNumber,
                              char* idmText);                      // 1, -9, -12, -15
PELKART_API FelicaSuicaRecordAll(char* idmText, char* blockText);     // 670, -12, -15
PELKART_API FelicaSuicaRecordAll_01(char* idmText, char* blockText);  // 1, -12, -15

// One-shot mode: each call initialises, opens, reads, closes and disposes.
PELKART_API GetFelicaIDm(char* idmText, char* pmmText);  // 1, -10 to -14
PELKART_API GetSuicaRecord(char* blockText, int32_t blockNumber,
                           char* idmText);                // 1, -9 to -15
PELKART_API GetSuicaRecordAll(char* idmText, char* blockText);  // 1, -10 to -15

// The module entry: accepts every notification and does nothing.
PELKART_ENTRY DllMain(void* instance, unsigned long reason, void* reserved);

// An empty class; only its default constructor and copy assignment are
// exported, and nothing in the module uses it.
class CPelkart {
public:
    CPelkart();
    CPelkart& operator=(const CPelkart& other);
};
