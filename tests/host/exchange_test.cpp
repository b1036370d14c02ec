// Service reads in one exchange: the balance, the three ticket-gate blocks
// and the twenty history blocks, each with one polling and one exchange.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reading_exports.h"

namespace {

using testing::ElementsAreArray;

struct ServiceRow {
    const char* name;
    int32_t (*read)(OutBuffer& idm, OutBuffer& block);  // in the export's own argument order
    size_t block_size;
    std::array<uint8_t, 2> service_code;
    uint8_t blocks;
    int32_t success;
    std::string (*text)(const Card&);
};

const std::vector<ServiceRow>& Rows() {
    static const std::vector<ServiceRow> rows = {
        {"FelicaSuicaBalance",
         [](OutBuffer& i, OutBuffer& b) { return FelicaSuicaBalance(b.data(), i.data()); }, 33,
         {0x8B, 0x00}, 1, 1, [](const Card& c) { return Hex(c.balance); }},
        {"FelicaSuicaKaisatsu",
         [](OutBuffer& i, OutBuffer& b) { return FelicaSuicaKaisatsu(b.data(), i.data()); }, 97,
         {0x8F, 0x10}, 3, 1, [](const Card& c) { return Hex(c.ticket_gate); }},
        {"FelicaSuicaRecordAll",
         [](OutBuffer& i, OutBuffer& b) { return FelicaSuicaRecordAll(i.data(), b.data()); }, 641,
         {0x0F, 0x09}, 20, 670, [](const Card& c) { return Hex(c.history); }},
    };
    return rows;
}

TEST(OneExchange, SuccessReadsTheServiceWithThePollingsOwnRecords) {
    for (const auto& row : Rows()) {
        SCOPED_TRACE(row.name);
        FakeReader reader;
        OutBuffer idm(17), block(row.block_size);
        EXPECT_EQ(row.read(idm, block), row.success);
        EXPECT_TRUE(block.Holds(row.text(reader.card)));
        EXPECT_TRUE(idm.Holds(IdmText(reader.card)));
        ASSERT_THAT(reader.ops(), ElementsAreArray(Ops("PS")));

        const Call& poll = reader.calls()[0];
        const Call& exchange = reader.calls()[1];
        EXPECT_EQ(exchange.polling_request_address, poll.polling_request_address);
        EXPECT_EQ(exchange.card_information_address, poll.card_information_address);
        EXPECT_EQ(exchange.system_code, (std::array<uint8_t, 2>{0xFF, 0xFF}));
        EXPECT_EQ(exchange.time_slot, 0);
        EXPECT_TRUE(exchange.reads_into_polled_idm);
        EXPECT_EQ(exchange.card_idm, reader.card.idm);
        EXPECT_EQ(exchange.number_of_services, 1);
        EXPECT_EQ(exchange.service_code, row.service_code);
        EXPECT_EQ(exchange.number_of_blocks, row.blocks);
        EXPECT_FALSE(exchange.has_block_list);
        EXPECT_EQ(exchange.status_bytes_before[0], 0);
        EXPECT_EQ(exchange.status_bytes_before[1], 0);
    }
}

TEST(OneExchange, FailuresEmptyTheBlockTextAndGiveTheIdmOnlyAfterPolling) {
    for (const auto& row : Rows()) {
        SCOPED_TRACE(row.name);
        {
            FakeReader reader;
            reader.Answer(Op::Poll, 0, 0);
            OutBuffer idm(17), block(row.block_size);
            EXPECT_EQ(row.read(idm, block), -12);
            EXPECT_TRUE(block.Holds(""));
            EXPECT_TRUE(idm.Untouched());
            EXPECT_THAT(reader.ops(), ElementsAreArray(Ops("P")));
        }
        {
            FakeReader reader;
            reader.Answer(Op::ReadService, 0, 0);
            OutBuffer idm(17), block(row.block_size);
            EXPECT_EQ(row.read(idm, block), -15);
            EXPECT_TRUE(block.Holds(""));
            EXPECT_TRUE(idm.Holds(IdmText(reader.card)));
            EXPECT_THAT(reader.ops(), ElementsAreArray(Ops("PS")));
        }
    }
}

TEST(OneExchange, StatusCountsAndARewrittenIdmChangeNothing) {
    const Id other_idm = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    for (const auto& row : Rows()) {
        SCOPED_TRACE(row.name);
        FakeReader reader;
        reader.reported_status = {0xFF, 0x01, 0x00};
        reader.reports_block_count = false;
        reader.reported_number_of_cards = 0;
        reader.exchange_rewrites_idm = other_idm;
        OutBuffer idm(17), block(row.block_size);
        EXPECT_EQ(row.read(idm, block), row.success);
        EXPECT_TRUE(block.Holds(row.text(reader.card)));
        EXPECT_TRUE(idm.Holds(IdmText(reader.card)));  // the IDm of the polling, not the exchange's
    }
}

TEST(OneExchange, BlocksTheLibraryDoesNotWriteReadAsZeros) {
    for (const auto& row : Rows()) {
        SCOPED_TRACE(row.name);
        FakeReader reader;
        reader.exchange_blocks_written = 0;
        OutBuffer idm(17), block(row.block_size);
        EXPECT_EQ(row.read(idm, block), row.success);
        EXPECT_TRUE(block.Holds(std::string(32u * row.blocks, '0')));
    }
    FakeReader reader;
    reader.exchange_blocks_written = 1;
    OutBuffer idm(17), block(97);
    EXPECT_EQ(FelicaSuicaKaisatsu(block.data(), idm.data()), 1);
    EXPECT_TRUE(block.Holds(Hex(reader.card.ticket_gate.data(), 16) + std::string(64, '0')));
}

TEST(OneExchange, HistoryInOneExchangeEqualsTheHistoryReadBlockByBlock) {
    FakeReader reader;
    reader.card = Card::Distinct(0x35);
    OutBuffer idm1(17), all(641), idm2(17), by_block(641);
    EXPECT_EQ(FelicaSuicaRecordAll(idm1.data(), all.data()), 670);
    EXPECT_EQ(FelicaSuicaRecordAll_01(idm2.data(), by_block.data()), 1);
    EXPECT_EQ(all.bytes(), by_block.bytes());
    EXPECT_EQ(idm1.bytes(), idm2.bytes());
}

}  // namespace
