#include "fuzz_reader.h"

#include <string.h>

namespace {

Input* input = nullptr;

// Room for the longest export (25 calls) made before the first input runs.
std::vector<Call> MakeLog() {
    std::vector<Call> log;
    log.reserve(64);
    return log;
}
std::vector<Call> calls = MakeLog();

Input& In() {
    if (input == nullptr) Violation("the module called the reader library outside an export call");
    return *input;
}

void Require(bool holds, const char* operation, const char* what) {
    if (!holds) Violation("%s was handed %s", operation, what);
}

Call Start(Op op) {
    Call call;
    call.op = op;
    call.result = In().I32(1);
    return call;
}

int32_t Finish(Call& call) {
    const int32_t result = call.result;
    calls.push_back(std::move(call));
    return result;
}

// Writes the bytes whose bits are set in mask, one data byte each, into
// buffer and into written (00 where nothing is written).
void WriteMasked(uint32_t mask, int count, uint8_t* buffer, uint8_t* written) {
    for (int i = 0; i < count; ++i) {
        written[i] = 0;
        if (mask & (1u << i)) buffer[i] = written[i] = In().Data();
    }
}

void RecordPolling(const char* operation, polling_request* request, Call& call) {
    Require(request != nullptr, operation, "no polling_request");
    Require(request->system_code != nullptr, operation, "a polling_request without system code");
    memcpy(call.system_code, request->system_code, 2);
    call.time_slot = request->time_slot;
    call.polling_request = request;
}

void RecordReadRequest(const char* operation, read_request* request, block_result* result,
                       Call& call) {
    Require(request != nullptr, operation, "no read_request");
    Require(request->card_idm != nullptr, operation, "a read_request without IDm");
    Require(request->service_code_list != nullptr, operation,
            "a read_request without service code list");
    call.card_idm_pointer = request->card_idm;
    memcpy(call.card_idm, request->card_idm, 8);
    call.number_of_services = request->number_of_services;
    memcpy(call.service_code, request->service_code_list, 2);
    call.number_of_blocks = request->number_of_blocks;

    Require(result != nullptr, operation, "no block_result");
    Require(result->status_flag_1 != nullptr && result->status_flag_2 != nullptr &&
                result->returned_block_count != nullptr,
            operation, "a block_result without its three status bytes");
    Require(result->block_data != nullptr, operation, "a block_result without receive area");
    call.status_before[0] = *result->status_flag_1;
    call.status_before[1] = *result->status_flag_2;
    call.status_before[2] = *result->returned_block_count;
}

void WriteStatus(block_result* result, uint8_t blocks) {
    *result->status_flag_1 = In().Byte(0);
    *result->status_flag_2 = In().Byte(0);
    *result->returned_block_count = In().Byte(blocks);
}

}  // namespace

namespace fuzz_reader {

void Begin(Input& in) {
    input = &in;
    calls.clear();
}

const std::vector<Call>& Calls() { return calls; }

void End() {
    input = nullptr;
    calls.clear();
}

}  // namespace fuzz_reader

extern "C" {

int32_t initialize_library(void) {
    Call call = Start(Op::Initialize);
    return Finish(call);
}

int32_t dispose_library(void) {
    Call call = Start(Op::Dispose);
    return Finish(call);
}

int32_t open_reader_writer_auto(void) {
    Call call = Start(Op::Open);
    return Finish(call);
}

int32_t close_reader_writer(void) {
    Call call = Start(Op::Close);
    return Finish(call);
}

int32_t polling_and_get_card_information(polling_request* request, uint8_t* number_of_cards,
                                         card_information* info) {
    const char* operation = OpName(Op::Poll);
    Call call = Start(Op::Poll);
    RecordPolling(operation, request, call);
    Require(number_of_cards != nullptr, operation, "no number_of_cards");
    Require(info != nullptr && info->card_idm != nullptr && info->card_pmm != nullptr, operation,
            "a card_information without IDm or PMm buffer");
    call.number_of_cards_before = *number_of_cards;
    call.card_information = info;
    call.idm_buffer = info->card_idm;
    call.pmm_buffer = info->card_pmm;
    WriteMasked(In().Byte(0xFF), 8, info->card_idm, call.idm);
    WriteMasked(In().Byte(0xFF), 8, info->card_pmm, call.pmm);
    *number_of_cards = In().Byte(1);
    return Finish(call);
}

int32_t read_block_without_encryption(read_request* request, block_result* result) {
    const char* operation = OpName(Op::ReadBlock);
    Call call = Start(Op::ReadBlock);
    RecordReadRequest(operation, request, result, call);
    call.has_block_list = request->block_list != nullptr;
    if (call.has_block_list) memcpy(call.block_list_element, request->block_list, 2);
    call.area.assign(kBlockSize, 0);
    WriteMasked(In().U16(0xFFFF), kBlockSize, result->block_data, call.area.data());
    WriteStatus(result, 1);
    return Finish(call);
}

int32_t polling_and_read_service_without_encryption(polling_request* polling,
                                                    read_request* request,
                                                    card_information* info,
                                                    block_result* result) {
    const char* operation = OpName(Op::ReadService);
    Call call = Start(Op::ReadService);
    RecordPolling(operation, polling, call);
    Require(info != nullptr && info->card_idm != nullptr && info->card_pmm != nullptr, operation,
            "a card_information without IDm or PMm buffer");
    call.card_information = info;
    RecordReadRequest(operation, request, result, call);

    // The library fills at most the blocks it was asked for, one after another.
    const int asked = call.number_of_blocks;
    const int written = In().Byte(static_cast<uint8_t>(asked)) % (asked + 1);
    call.area.assign(static_cast<size_t>(kBlockSize * asked), 0);
    for (int i = 0; i < kBlockSize * written; ++i) {
        result->block_data[i] = call.area[static_cast<size_t>(i)] = In().Data();
    }
    WriteStatus(result, static_cast<uint8_t>(written));

    // The exchange polls anew and may leave another IDm or PMm behind.
    const uint8_t rewrites = In().Byte(0);
    uint8_t ignored[8];
    if (rewrites & 1) WriteMasked(0xFF, 8, info->card_idm, ignored);
    if (rewrites & 2) WriteMasked(0xFF, 8, info->card_pmm, ignored);
    return Finish(call);
}

int32_t get_last_error_types(int32_t* first_error_type, int32_t* second_error_type) {
    const char* operation = OpName(Op::LastError);
    Call call = Start(Op::LastError);
    Require(first_error_type != nullptr && second_error_type != nullptr, operation,
            "a null pointer for an error type");
    const uint8_t writes = In().Byte(3);
    call.first_written = (writes & 1) != 0;
    call.second_written = (writes & 2) != 0;
    if (call.first_written) *first_error_type = call.first_error_type = In().I32(0);
    if (call.second_written) *second_error_type = call.second_error_type = In().I32(0);
    return Finish(call);
}

}  // extern "C"
