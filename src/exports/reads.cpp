// The card-reading exports. Each writes its texts in place as each step
// succeeds; nothing written is taken back.
#include "../card/card.h"
#include "../hex/hex.h"
#include "connection.h"
#include "pelkart.h"

namespace {

// Polling, then the IDm and the PMm as text.
int32_t ReadIds(char* idmText, char* pmmText) {
    card::Polling polling;
    if (!card::Poll(polling)) return RcPollFailed;
    IdHexFormatter(polling.idm, idmText);
    IdHexFormatter(polling.pmm, pmmText);
    return RcOk;
}

// Polling, the IDm as text, then one history block as text.
int32_t ReadRecord(char* blockText, int32_t blockNumber, char* idmText) {
    card::Polling polling;
    if (!card::Poll(polling)) return RcPollFailed;
    IdHexFormatter(polling.idm, idmText);
    uint8_t block[kBlockSize];
    if (!card::ReadHistoryBlock(polling.idm, blockNumber, block)) return RcReadFailed;
    BlockHexFormatter(block, blockText);
    return RcOk;
}

// Polling, the IDm as text, then the twenty history blocks one by one,
// appended to blockText, which the caller has emptied.
int32_t ReadRecordAll(char* idmText, char* blockText) {
    card::Polling polling;
    if (!card::Poll(polling)) return RcPollFailed;
    IdHexFormatter(polling.idm, idmText);
    if (!card::AppendHistory(polling.idm, blockText)) return RcReadFailed;
    return RcOk;
}

// What sets the three service reads in one exchange apart.
struct ServiceRead {
    uint16_t service_code;
    uint8_t block_count;
    int32_t success;
};

constexpr ServiceRead kBalance = {kBalanceService, 1, RcOk};
constexpr ServiceRead kTicketGate = {kTicketGateService, 3, RcOk};
constexpr ServiceRead kHistory = {kHistoryService, card::kHistoryBlocks, RcRecordAllOk};

// blockText emptied, polling, the IDm as text, then the blocks of one
// service in one exchange as one text.
int32_t ReadServiceInOneExchange(const ServiceRead& read, char* blockText,
                                 char* idmText) {
    TerminateAt(blockText, 0);
    card::Polling polling;
    if (!card::Poll(polling)) return RcPollFailed;
    IdHexFormatter(polling.idm, idmText);
    uint8_t area[card::kHistoryBlocks * kBlockSize];
    if (!card::ReadService(polling, read.service_code, read.block_count, area)) {
        return RcReadFailed;
    }
    HexRunFormatter(area, read.block_count * kBlockSize, blockText);
    return read.success;
}

}  // namespace

PELKART_API FelicaIDm(char* idmText, char* pmmText) {
    return ReadIds(idmText, pmmText);
}

PELKART_API GetFelicaIDm(char* idmText, char* pmmText) {
    return OneShot([&] { return ReadIds(idmText, pmmText); });
}

PELKART_API FelicaSuicaRecord(char* blockText, int32_t blockNumber, char* idmText) {
    // Both terminators come first, whatever blockNumber is.
    TerminateAt(blockText, 0);
    TerminateAt(blockText, 2 * kBlockSize);
    if (!card::IsHistoryBlock(blockNumber)) return RcBadIndex;
    return ReadRecord(blockText, blockNumber, idmText);
}

PELKART_API GetSuicaRecord(char* blockText, int32_t blockNumber, char* idmText) {
    if (!card::IsHistoryBlock(blockNumber)) return RcBadIndex;
    return OneShot([&] { return ReadRecord(blockText, blockNumber, idmText); });
}

PELKART_API FelicaSuicaRecordAll_01(char* idmText, char* blockText) {
    TerminateAt(blockText, 0);
    return ReadRecordAll(idmText, blockText);
}

PELKART_API GetSuicaRecordAll(char* idmText, char* blockText) {
    TerminateAt(blockText, 0);
    return OneShot([&] { return ReadRecordAll(idmText, blockText); });
}

PELKART_API FelicaSuicaBalance(char* blockText, char* idmText) {
    return ReadServiceInOneExchange(kBalance, blockText, idmText);
}

PELKART_API FelicaSuicaKaisatsu(char* blockText, char* idmText) {
    return ReadServiceInOneExchange(kTicketGate, blockText, idmText);
}

PELKART_API FelicaSuicaRecordAll(char* idmText, char* blockText) {
    return ReadServiceInOneExchange(kHistory, blockText, idmText);
}
