#include "fake_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "reader/felica.h"

namespace {
FakeReader* current = nullptr;
// Per thread: its own card, and where its last polling put the IDm.
thread_local const Card* thread_card = nullptr;
thread_local const uint8_t* polled_idm = nullptr;
}

std::vector<Op> Ops(const std::string& letters) {
    std::vector<Op> ops;
    for (char letter : letters) {
        const std::string all = kOpLetters;
        const size_t op = all.find(letter);
        if (letter == '\0' || op == std::string::npos) {
            ADD_FAILURE() << "no call is written '" << letter << "'";
            continue;
        }
        ops.push_back(static_cast<Op>(op));
    }
    return ops;
}

void PrintTo(Op op, std::ostream* os) { *os << OpName(op); }

Card Card::Sample() { return Distinct(0); }

Card Card::Distinct(uint8_t seed) {
    Card card{};
    const Id idm = {0x01, 0x2E, 0x4C, 0x7F, 0xA0, 0xB1, 0x0A, 0xFF};
    const Id pmm = {0x03, 0x01, 0x4B, 0x02, 0x4F, 0x49, 0x93, 0xFF};
    for (size_t i = 0; i < 8; ++i) {
        card.idm[i] = static_cast<uint8_t>(idm[i] + seed);
        card.pmm[i] = static_cast<uint8_t>(pmm[i] + 3 * seed);
    }
    for (size_t i = 0; i < card.balance.size(); ++i)
        card.balance[i] = static_cast<uint8_t>(0xB0 + i + seed);
    for (size_t i = 0; i < card.ticket_gate.size(); ++i)
        card.ticket_gate[i] = static_cast<uint8_t>(0x60 + 5 * i + seed);
    for (size_t i = 0; i < card.history.size(); ++i)
        card.history[i] = static_cast<uint8_t>(7 * i + seed);
    return card;
}

FakeReader::FakeReader() {
    EXPECT_EQ(current, nullptr) << "one fake reader at a time";
    current = this;
}

FakeReader::~FakeReader() { current = nullptr; }

FakeReader* FakeReader::Current() { return current; }

void FakeReader::ServeOnThisThread(const Card* card) { thread_card = card; }

const Card& FakeReader::Served() const { return thread_card != nullptr ? *thread_card : card; }

std::vector<Op> FakeReader::ops() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Op> ops;
    for (const Call& call : calls_) ops.push_back(call.op);
    return ops;
}

std::vector<int> FakeReader::blocks_read() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> blocks;
    for (const Call& call : calls_)
        if (call.op == Op::ReadBlock) blocks.push_back(call.block_list_element[1]);
    return blocks;
}

int32_t FakeReader::Record(Call call) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int nth = counts_[call.op]++;
    int32_t result = 1;
    if (auto all = answer_all_.find(call.op); all != answer_all_.end()) result = all->second;
    if (auto one = answers_.find({call.op, nth}); one != answers_.end()) result = one->second;
    call.result = result;
    calls_.push_back(call);
    return result;
}

void FakeReader::RecordReadRequest(const read_request* request, Call& call) const {
    if (request->card_idm != nullptr) std::memcpy(call.card_idm.data(), request->card_idm, 8);
    call.reads_into_polled_idm = request->card_idm == polled_idm;
    call.number_of_services = request->number_of_services;
    if (request->service_code_list != nullptr)
        std::memcpy(call.service_code.data(), request->service_code_list, 2);
    call.number_of_blocks = request->number_of_blocks;
    call.has_block_list = request->block_list != nullptr;
    if (call.has_block_list) std::memcpy(call.block_list_element.data(), request->block_list, 2);
}

void FakeReader::WriteStatus(block_result* result, int blocks) const {
    *result->status_flag_1 = reported_status[0];
    *result->status_flag_2 = reported_status[1];
    *result->returned_block_count =
        reports_block_count ? static_cast<uint8_t>(blocks) : reported_status[2];
}

int32_t FakeReader::Poll(polling_request* request, uint8_t* number_of_cards,
                         card_information* info) {
    Call call{Op::Poll};
    std::memcpy(call.system_code.data(), request->system_code, 2);
    call.time_slot = request->time_slot;
    call.number_of_cards_before = *number_of_cards;
    call.polling_request_address = request;
    call.card_information_address = info;
    call.idm_and_pmm_buffers_given = info->card_idm != nullptr && info->card_pmm != nullptr &&
                                     info->card_idm != info->card_pmm;
    polled_idm = info->card_idm;
    *number_of_cards = reported_number_of_cards;
    if (writes_ids) {
        std::memcpy(info->card_idm, Served().idm.data(), 8);
        std::memcpy(info->card_pmm, Served().pmm.data(), 8);
    }
    return Record(call);
}

int32_t FakeReader::ReadBlock(read_request* request, block_result* result) {
    Call call{Op::ReadBlock};
    RecordReadRequest(request, call);
    call.status_bytes_before = {*result->status_flag_1, *result->status_flag_2,
                                *result->returned_block_count};
    const int block = call.has_block_list ? call.block_list_element[1] : 0;
    if (block_reads_write_data && block < 20) std::memcpy(result->block_data, &Served().history[16 * block], 16);
    WriteStatus(result, 1);
    return Record(call);
}

int32_t FakeReader::ReadService(polling_request* polling, read_request* request,
                                card_information* info, block_result* result) {
    Call call{Op::ReadService};
    std::memcpy(call.system_code.data(), polling->system_code, 2);
    call.time_slot = polling->time_slot;
    call.polling_request_address = polling;
    call.card_information_address = info;
    RecordReadRequest(request, call);
    call.status_bytes_before = {*result->status_flag_1, *result->status_flag_2,
                                *result->returned_block_count};

    const uint16_t service = static_cast<uint16_t>(call.service_code[0] | call.service_code[1] << 8);
    const uint8_t* data = nullptr;
    int available = 0;
    const Card& served = Served();
    if (service == kBalanceService) data = served.balance.data(), available = 1;
    if (service == kTicketGateService) data = served.ticket_gate.data(), available = 3;
    if (service == kHistoryService) data = served.history.data(), available = 20;
    int blocks = exchange_blocks_written >= 0 ? exchange_blocks_written : call.number_of_blocks;
    if (blocks > available) blocks = available;
    if (data != nullptr) std::memcpy(result->block_data, data, 16 * static_cast<size_t>(blocks));
    WriteStatus(result, blocks);
    if (exchange_rewrites_idm) {
        std::memcpy(info->card_idm, exchange_rewrites_idm->data(), 8);
        std::memcpy(request->card_idm, exchange_rewrites_idm->data(), 8);
    }
    return Record(call);
}

int32_t FakeReader::LastError(int32_t* first, int32_t* second) {
    if (error_types) {
        *first = error_types->first;
        *second = error_types->second;
    }
    return Record(Call{Op::LastError});
}

// The reader library as the module sees it.
namespace {
FakeReader& Reader() {
    if (current == nullptr) {
        ADD_FAILURE() << "the module called the reader library with no fake reader in place";
        std::abort();
    }
    return *current;
}
}  // namespace

extern "C" {
int32_t initialize_library(void) { return Reader().Initialize(); }
int32_t dispose_library(void) { return Reader().Dispose(); }
int32_t open_reader_writer_auto(void) { return Reader().Open(); }
int32_t close_reader_writer(void) { return Reader().Close(); }
int32_t polling_and_get_card_information(polling_request* request, uint8_t* number_of_cards,
                                         card_information* info) {
    return Reader().Poll(request, number_of_cards, info);
}
int32_t read_block_without_encryption(read_request* request, block_result* result) {
    return Reader().ReadBlock(request, result);
}
int32_t polling_and_read_service_without_encryption(polling_request* polling,
                                                    read_request* request,
                                                    card_information* info,
                                                    block_result* result) {
    return Reader().ReadService(polling, request, info, result);
}
int32_t get_last_error_types(int32_t* first, int32_t* second) {
    return Reader().LastError(first, second);
}
}
