// Opening and closing the reader connection, the last-error query, and the
// parts of the module that touch no reader at all.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "exports/pelkart.h"
#include "fake_reader.h"

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;

struct BracketCase {
    const char* what;
    std::vector<std::pair<Op, int32_t>> answers;
    int32_t result;
    std::vector<Op> calls;
};

TEST(ReaderConnection, OpenInitialisesThenOpensAndNeverDisposesAfterAFailedOpen) {
    const std::vector<BracketCase> cases = {
        {"both succeed", {}, 1, {Op::Initialize, Op::Open}},
        {"initialize fails", {{Op::Initialize, 0}}, -10, {Op::Initialize}},
        {"open fails", {{Op::Open, 0}}, -11, {Op::Initialize, Op::Open}},
    };
    for (const auto& c : cases) {
        FakeReader reader;
        for (auto [op, value] : c.answers) reader.AnswerAll(op, value);
        EXPECT_EQ(FelicaRWOpen(), c.result) << c.what;
        EXPECT_THAT(reader.ops(), ElementsAreArray(c.calls)) << c.what;
    }
}

TEST(ReaderConnection, CloseClosesThenDisposesAndNeverDisposesAfterAFailedClose) {
    const std::vector<BracketCase> cases = {
        {"both succeed", {}, 1, {Op::Close, Op::Dispose}},
        {"close fails", {{Op::Close, 0}}, -13, {Op::Close}},
        {"dispose fails", {{Op::Dispose, 0}}, -14, {Op::Close, Op::Dispose}},
        {"both fail", {{Op::Close, 0}, {Op::Dispose, 0}}, -13, {Op::Close}},
    };
    for (const auto& c : cases) {
        FakeReader reader;  // nothing opened before: close goes to the library all the same
        for (auto [op, value] : c.answers) reader.AnswerAll(op, value);
        EXPECT_EQ(FelicaRWClose(), c.result) << c.what;
        EXPECT_THAT(reader.ops(), ElementsAreArray(c.calls)) << c.what;
    }
}

TEST(ReaderConnection, ReopeningAfterAFailedOpenStartsAgainWithInitialize) {
    FakeReader reader;
    reader.Answer(Op::Open, 0, 0);
    EXPECT_EQ(FelicaRWOpen(), -11);
    EXPECT_EQ(FelicaRWOpen(), 1);
    EXPECT_THAT(reader.ops(), ElementsAre(Op::Initialize, Op::Open, Op::Initialize, Op::Open));
}

struct LastErrorCase {
    int32_t first;
    int32_t second;
    int32_t composite;
};

TEST(LastError, IsThousandTimesTheFirstTypePlusTheSecondNegativesCountingAsZero) {
    const std::vector<LastErrorCase> cases = {
        {2, 5, 2005},
        {-1, 7, 7},
        {3, -4, 3000},
        {0, 0, 0},
        {1, 1500, 2500},  // the second type carries into the thousands:
        {2, 500, 2500},   // the same number as this one
        {INT_MIN, INT_MIN, 0},
        {0, INT_MAX, INT_MAX},
        {2147483, 647, INT_MAX},  // the largest composite, exactly
        // Above the largest 32-bit value: that value, never a wrapped one.
        {2147483, 648, INT_MAX},
        {2147484, 0, INT_MAX},
        {INT_MAX, INT_MAX, INT_MAX},
        {INT_MAX, -1, INT_MAX},
    };
    for (const auto& c : cases) {
        FakeReader reader;
        reader.error_types = std::make_pair(c.first, c.second);
        EXPECT_EQ(FelicaGetLastError(), c.composite) << c.first << ", " << c.second;
        EXPECT_THAT(reader.ops(), ElementsAre(Op::LastError));
    }
}

TEST(LastError, TypesTheLibraryDoesNotWriteCountAsZeroAndItsResultIsIgnored) {
    for (int32_t result : {0, 1, -1}) {
        FakeReader reader;
        reader.error_types.reset();
        reader.AnswerAll(Op::LastError, result);
        EXPECT_EQ(FelicaGetLastError(), 0) << "result " << result;
    }
    FakeReader reader;
    reader.error_types = std::make_pair(4, 2);
    reader.AnswerAll(Op::LastError, 0);
    EXPECT_EQ(FelicaGetLastError(), 4002);
}

TEST(Module, VersionEntryAndClassCallNoReader) {
    FakeReader reader;
    EXPECT_EQ(DLLVersion(), 1);
    EXPECT_EQ(DLLVersion(), 1);
    for (unsigned long reason : {0ul, 1ul, 2ul, 3ul})  // detach, attach, thread attach, detach
        EXPECT_EQ(DllMain(nullptr, reason, nullptr), 1) << "reason " << reason;
    CPelkart left;
    const CPelkart right;
    EXPECT_EQ(&(left = right), &left);
    EXPECT_TRUE(reader.calls().empty());
}

TEST(Module, VersionIsOneWhetherOrNotTheReaderIsOpen) {
    FakeReader reader;
    ASSERT_EQ(FelicaRWOpen(), 1);
    EXPECT_EQ(DLLVersion(), 1);
    ASSERT_EQ(FelicaRWClose(), 1);
    EXPECT_EQ(DLLVersion(), 1);
    EXPECT_EQ(reader.calls().size(), 4u);
}

}  // namespace
