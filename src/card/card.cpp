#include "card.h"

#include "../hex/hex.h"

namespace card {

namespace {

void Zero(uint8_t* bytes, int32_t count) {
    for (int32_t i = 0; i < count; ++i) bytes[i] = 0;
}

void StoreServiceCode(uint16_t service_code, uint8_t* bytes) {
    bytes[0] = static_cast<uint8_t>(service_code & 0xFF);
    bytes[1] = static_cast<uint8_t>(service_code >> 8);
}

}  // namespace

bool Poll(Polling& polling) {
    polling.system_code[0] = 0xFF;
    polling.system_code[1] = 0xFF;
    polling.request.system_code = polling.system_code;
    polling.request.time_slot = 0;
    Zero(polling.idm, 8);
    Zero(polling.pmm, 8);
    polling.info.card_idm = polling.idm;
    polling.info.card_pmm = polling.pmm;
    polling.number_of_cards = 0;
    return Succeeded(polling_and_get_card_information(
        &polling.request, &polling.number_of_cards, &polling.info));
}

bool ReadHistoryBlock(uint8_t* idm, int32_t block_number, uint8_t* block) {
    uint8_t service_code[2];
    StoreServiceCode(kHistoryService, service_code);
    uint8_t block_list_element[2] = {0x80, static_cast<uint8_t>(block_number & 0xFF)};

    read_request request = {};
    request.card_idm = idm;
    request.number_of_services = 1;
    request.service_code_list = service_code;
    request.number_of_blocks = 1;
    request.block_list = block_list_element;

    uint8_t status_flag_1 = 0;
    uint8_t status_flag_2 = 0;
    uint8_t returned_block_count = 0;
    Zero(block, kBlockSize);
    block_result result = {};
    result.status_flag_1 = &status_flag_1;
    result.status_flag_2 = &status_flag_2;
    result.returned_block_count = &returned_block_count;
    result.block_data = block;

    return Succeeded(read_block_without_encryption(&request, &result));
}

bool ReadService(Polling& polling, uint16_t service_code, uint8_t block_count,
                 uint8_t* area) {
    uint8_t service_code_bytes[2];
    StoreServiceCode(service_code, service_code_bytes);

    read_request request = {};
    request.card_idm = polling.idm;
    request.number_of_services = 1;
    request.service_code_list = service_code_bytes;
    request.number_of_blocks = block_count;
    request.block_list = nullptr;  // no block list: the service's blocks in order

    uint8_t status_flag_1 = 0;
    uint8_t status_flag_2 = 0;
    uint8_t returned_block_count = 0;
    Zero(area, block_count * kBlockSize);
    block_result result = {};
    result.status_flag_1 = &status_flag_1;
    result.status_flag_2 = &status_flag_2;
    result.returned_block_count = &returned_block_count;
    result.block_data = area;

    return Succeeded(polling_and_read_service_without_encryption(
        &polling.request, &request, &polling.info, &result));
}

bool AppendHistory(uint8_t* idm, char* history_text) {
    for (int32_t n = 0; n < kHistoryBlocks; ++n) {
        uint8_t block[kBlockSize];
        if (!ReadHistoryBlock(idm, n, block)) return false;
        // The block's text, terminator included, goes where the terminator
        // stood, so the text grows by 32 characters a block.
        BlockHexFormatter(block, TextAt(history_text, 2 * kBlockSize * n));
    }
    return true;
}

}  // namespace card
