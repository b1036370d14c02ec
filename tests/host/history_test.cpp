// Usage-history reads one block per reader call: the single-block reads by
// number and the twenty-block reads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "reading_exports.h"

namespace {

using testing::ElementsAreArray;

const Card card = Card::Sample();

// Every history read addresses service 0F 09 with a one-element block list,
// for the card that answered the polling, with its status bytes cleared.
void ExpectHistoryRead(const Call& call, int block) {
    EXPECT_EQ(call.op, Op::ReadBlock);
    EXPECT_TRUE(call.reads_into_polled_idm);
    EXPECT_EQ(call.card_idm, card.idm);
    EXPECT_EQ(call.number_of_services, 1);
    EXPECT_EQ(call.service_code, (std::array<uint8_t, 2>{0x0F, 0x09}));
    EXPECT_EQ(call.number_of_blocks, 1);
    ASSERT_TRUE(call.has_block_list);
    EXPECT_EQ(call.block_list_element, (std::array<uint8_t, 2>{0x80, static_cast<uint8_t>(block)}));
    EXPECT_EQ(call.status_bytes_before, (std::array<uint8_t, 3>{0, 0, 0}));
}

TEST(HistoryRecord, ReadsTheBlockItIsAskedFor) {
    for (int32_t n : {0, 5, 19}) {
        SCOPED_TRACE(n);
        for (bool one_shot : {false, true}) {
            FakeReader reader;
            OutBuffer block(33), idm(17);
            const int32_t rc = one_shot ? GetSuicaRecord(block.data(), n, idm.data())
                                        : FelicaSuicaRecord(block.data(), n, idm.data());
            EXPECT_EQ(rc, 1);
            EXPECT_TRUE(block.Holds(HistoryBlockText(card, n)));
            EXPECT_TRUE(idm.Holds(IdmText(card)));
            EXPECT_THAT(reader.ops(), ElementsAreArray(Ops(one_shot ? "IOPRCD" : "PR")));
            ExpectHistoryRead(reader.calls()[one_shot ? 3 : 1], n);
        }
    }
}

TEST(HistoryRecord, BlockNumberOutsideZeroToNineteenIsRefusedBeforeAnyReaderCall) {
    // Tested on the whole signed number: 256, 275 and -237 have the low bytes
    // 0x00, 0x13 and 0x13 of valid blocks.
    for (int32_t n : {20, -1, 256, 275, -237, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(n);
        FakeReader reader;
        OutBuffer block(33), idm(17);
        EXPECT_EQ(FelicaSuicaRecord(block.data(), n, idm.data()), -9);
        EXPECT_TRUE(block.EmptyWithTerminatorAt(32));
        EXPECT_TRUE(idm.Untouched());

        OutBuffer one_shot_block(33), one_shot_idm(17);
        EXPECT_EQ(GetSuicaRecord(one_shot_block.data(), n, one_shot_idm.data()), -9);
        EXPECT_TRUE(one_shot_block.Untouched());
        EXPECT_TRUE(one_shot_idm.Untouched());
        EXPECT_TRUE(reader.calls().empty());
    }
}

TEST(HistoryRecord, ConnectedFailuresLeaveBothTerminatorsAndTheIdmOnlyAfterPolling) {
    {
        FakeReader reader;
        reader.Answer(Op::Poll, 0, 0);
        OutBuffer block(33), idm(17);
        EXPECT_EQ(FelicaSuicaRecord(block.data(), 3, idm.data()), -12);
        EXPECT_TRUE(block.EmptyWithTerminatorAt(32));
        EXPECT_TRUE(idm.Untouched());
        EXPECT_THAT(reader.ops(), ElementsAreArray(Ops("P")));
    }
    {
        FakeReader reader;
        reader.Answer(Op::ReadBlock, 0, 0);
        OutBuffer block(33), idm(17);
        EXPECT_EQ(FelicaSuicaRecord(block.data(), 3, idm.data()), -15);
        EXPECT_TRUE(block.EmptyWithTerminatorAt(32));
        EXPECT_TRUE(idm.Holds(IdmText(card)));
        EXPECT_THAT(reader.ops(), ElementsAreArray(Ops("PR")));
    }
}

TEST(HistoryRecordAll, ReadsBlocksZeroToNineteenInOrderAfterOnePolling) {
    FakeReader reader;
    // A library that reports status and a count must not change anything,
    // and every read starts again from cleared status bytes.
    reader.reported_status = {0xAA, 0xBB, 0xCC};
    reader.reports_block_count = false;
    OutBuffer idm(17), block(641);
    EXPECT_EQ(FelicaSuicaRecordAll_01(idm.data(), block.data()), 1);
    EXPECT_TRUE(block.Holds(HistoryText(card)));
    EXPECT_TRUE(idm.Holds(IdmText(card)));
    ASSERT_THAT(reader.ops(), ElementsAreArray(Ops("P" + std::string(20, 'R'))));
    for (int n = 0; n < 20; ++n) ExpectHistoryRead(reader.calls()[1 + n], n);
}

TEST(HistoryRecordAll, FirstFailingReadEndsTheLoopWithTheBlocksReadBeforeIt) {
    for (int failing : {0, 1, 7, 19}) {
        SCOPED_TRACE(failing);
        FakeReader reader;
        reader.Answer(Op::ReadBlock, failing, 0);
        OutBuffer idm(17), block(641);
        EXPECT_EQ(FelicaSuicaRecordAll_01(idm.data(), block.data()), -15);
        EXPECT_TRUE(block.Holds(HistoryText(card, failing)));
        EXPECT_TRUE(idm.Holds(IdmText(card)));
        EXPECT_EQ(reader.blocks_read().size(), static_cast<size_t>(failing + 1));
    }
}

TEST(HistoryRecordAll, FailedPollingLeavesTheEmptyTextAndTheIdmUntouched) {
    FakeReader reader;
    reader.Answer(Op::Poll, 0, 0);
    OutBuffer idm(17), block(641);
    EXPECT_EQ(FelicaSuicaRecordAll_01(idm.data(), block.data()), -12);
    EXPECT_TRUE(block.Holds(""));
    EXPECT_TRUE(idm.Untouched());
    EXPECT_THAT(reader.ops(), ElementsAreArray(Ops("P")));
}

TEST(HistoryRecordAll, EarlierTextInTheBufferNeverSurvives) {
    for (bool one_shot : {false, true}) {
        FakeReader reader;
        reader.Answer(Op::ReadBlock, 2, 0);
        OutBuffer idm(17), block(641);
        std::fill(block.data(), block.data() + 640, 'X');
        block.data()[640] = '\0';
        const int32_t rc = one_shot ? GetSuicaRecordAll(idm.data(), block.data())
                                    : FelicaSuicaRecordAll_01(idm.data(), block.data());
        EXPECT_EQ(rc, -15);
        EXPECT_EQ(std::string(block.data()), HistoryText(card, 2)) << one_shot;
    }
}

}  // namespace
