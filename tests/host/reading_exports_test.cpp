// What holds for every reading export alike: the polling step, the low-byte
// rule for reader results, null outputs, and bytes the library leaves unset.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reading_exports.h"

namespace {

using testing::ElementsAreArray;

// What one call of an export did: its result, its calls, every output byte.
struct Outcome {
    int32_t result;
    std::vector<Op> calls;
    std::vector<char> idm, pmm, block;
};

template <typename Setup>
Outcome Observe(const ReadingExport& e, Setup setup) {
    FakeReader reader;
    setup(reader);
    Outputs out = e.MakeOutputs();
    const int32_t result = e.Call(out);
    return {result, reader.ops(), out.idm.bytes(), out.pmm.bytes(), out.block.bytes()};
}

void ExpectSame(const Outcome& actual, const Outcome& expected) {
    EXPECT_EQ(actual.result, expected.result);
    EXPECT_EQ(actual.calls, expected.calls);
    EXPECT_EQ(actual.idm, expected.idm);
    EXPECT_EQ(actual.pmm, expected.pmm);
    EXPECT_EQ(actual.block, expected.block);
}

TEST(EveryRead, PollsOnceForAnySystemInTimeSlotZeroWithTheCardCountCleared) {
    for (const auto& e : ReadingExports()) {
        SCOPED_TRACE(e.name);
        FakeReader reader;
        reader.reported_number_of_cards = 0xFF;
        Outputs out = e.MakeOutputs();
        EXPECT_GT(e.Call(out), 0);
        int polls = 0;
        for (const Call& call : reader.calls()) {
            if (call.op != Op::Poll) continue;
            ++polls;
            EXPECT_EQ(call.system_code, (std::array<uint8_t, 2>{0xFF, 0xFF}));
            EXPECT_EQ(call.time_slot, 0);
            EXPECT_EQ(call.number_of_cards_before, 0);
            EXPECT_TRUE(call.idm_and_pmm_buffers_given);
        }
        EXPECT_EQ(polls, 1);
    }
}

TEST(EveryRead, TheCardCountTheLibraryReportsHasNoInfluence) {
    for (const auto& e : ReadingExports()) {
        SCOPED_TRACE(e.name);
        const Outcome usual = Observe(e, [](FakeReader&) {});
        for (uint8_t cards : {0, 2, 255})
            ExpectSame(Observe(e, [&](FakeReader& r) { r.reported_number_of_cards = cards; }), usual);
    }
}

// Only the low byte of a reader result decides: any result with a nonzero
// low byte acts as 1 does, any with a zero low byte as 0 does.
TEST(EveryRead, OnlyTheLowByteOfEachReaderResultDecides) {
    const int32_t successes[] = {0x00000101, static_cast<int32_t>(0xFFFFFF01), 0x7FFFFF80, -1};
    const int32_t failures[] = {0x00000100, static_cast<int32_t>(0xFFFFFF00),
                                static_cast<int32_t>(0x80000000), 0x7FFFFF00};
    for (const auto& e : ReadingExports()) {
        const std::vector<Op> path = Observe(e, [](FakeReader&) {}).calls;
        for (size_t k = 0; k < path.size(); ++k) {
            const Op op = path[k];
            int nth = 0;
            for (size_t j = 0; j < k; ++j) nth += path[j] == op;
            SCOPED_TRACE(e.name + ", call " + std::to_string(k) + " " + OpName(op));
            const Outcome as_one = Observe(e, [&](FakeReader& r) { r.Answer(op, nth, 1); });
            const Outcome as_zero = Observe(e, [&](FakeReader& r) { r.Answer(op, nth, 0); });
            EXPECT_NE(as_one.result, as_zero.result);
            for (int32_t v : successes)
                ExpectSame(Observe(e, [&](FakeReader& r) { r.Answer(op, nth, v); }), as_one);
            for (int32_t v : failures)
                ExpectSame(Observe(e, [&](FakeReader& r) { r.Answer(op, nth, v); }), as_zero);
        }
    }
}

// A null output (vbNullString from VBA) is skipped: the call runs and
// returns as it would have, and the other outputs get what they would have.
TEST(EveryRead, NullOutputsAreSkippedAndChangeNothingElse) {
    const std::vector<std::string> failure_points = {"", "poll", "read"};
    for (const auto& e : ReadingExports()) {
        for (const auto& failing : failure_points) {
            auto setup = [&](FakeReader& r) {
                if (failing == "poll") r.AnswerAll(Op::Poll, 0);
                if (failing == "read") r.AnswerAll(Op::ReadBlock, 0), r.AnswerAll(Op::ReadService, 0);
            };
            const Outcome full = Observe(e, setup);
            for (int mask = 1; mask < 8; ++mask) {
                SCOPED_TRACE(e.name + ", failing " + failing + ", null mask " + std::to_string(mask));
                FakeReader reader;
                setup(reader);
                Outputs out = e.MakeOutputs();
                const bool null_idm = mask & 1, null_pmm = mask & 2, null_block = mask & 4;
                const int32_t result =
                    e.call(null_idm ? nullptr : out.idm.data(),
                           null_pmm || !e.pmm_size ? nullptr : out.pmm.data(),
                           null_block || !e.block_size ? nullptr : out.block.data());
                EXPECT_EQ(result, full.result);
                EXPECT_EQ(reader.ops(), full.calls);
                EXPECT_EQ(out.idm.bytes(), null_idm ? OutBuffer(17).bytes() : full.idm);
                if (e.pmm_size) {
                    EXPECT_EQ(out.pmm.bytes(), null_pmm ? OutBuffer(17).bytes() : full.pmm);
                }
                if (e.block_size) {
                    EXPECT_EQ(out.block.bytes(),
                              null_block ? OutBuffer(e.block_size).bytes() : full.block);
                }
            }
        }
    }
}

// IDm, PMm and receive areas are cleared before the library fills them, so
// a byte it leaves unset comes back as 00, never as leftover stack memory.
TEST(EveryRead, BytesTheLibraryLeavesUnsetReadAsZero) {
    for (const auto& e : ReadingExports()) {
        SCOPED_TRACE(e.name);
        // Leave garbage on the stack where the next call's frame will lie.
        Observe(e, [](FakeReader& r) { r.card = Card::Distinct(0x99); });
        FakeReader reader;
        reader.writes_ids = false;
        reader.block_reads_write_data = false;
        reader.exchange_blocks_written = 0;
        Outputs out = e.MakeOutputs();
        EXPECT_GT(e.Call(out), 0);
        EXPECT_TRUE(out.idm.Holds(std::string(16, '0')));
        if (e.pmm_size) {
            EXPECT_TRUE(out.pmm.Holds(std::string(16, '0')));
        }
        if (e.block_size) {
            EXPECT_TRUE(out.block.Holds(std::string(e.block_size - 1, '0')));
        }
    }
}

}  // namespace
