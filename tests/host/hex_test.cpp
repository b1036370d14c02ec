#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_reader.h"
#include "hex/hex.h"
#include "out_buffer.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values) bytes.push_back(static_cast<uint8_t>(v));
    return bytes;
}

TEST(HexText, EveryByteValueIsTwoUppercaseDigitsAsPrintfWritesThem) {
    for (int value = 0; value < 256; ++value) {
        const uint8_t byte = static_cast<uint8_t>(value);
        OutBuffer out(3);
        HexRunFormatter(&byte, 1, out.data());
        EXPECT_TRUE(out.Holds(Hex(&byte, 1))) << "byte " << value;
    }
}

struct FormatterCase {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string text;
};

TEST(HexText, IdHexFormatterWritesSixteenDigitsAndTheTerminator) {
    const std::vector<FormatterCase> cases = {
        {"mixed", Bytes({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}), "0123456789ABCDEF"},
        {"leading zeros", Bytes({0x01, 0x2E, 0x4C, 0x7F, 0xA0, 0xB1, 0x0A, 0xFF}), "012E4C7FA0B10AFF"},
        {"zeros", std::vector<uint8_t>(8, 0), std::string(16, '0')},
    };
    for (const auto& c : cases) {
        OutBuffer out(17);
        IdHexFormatter(c.bytes.data(), out.data());
        EXPECT_TRUE(out.Holds(c.text)) << c.what;
    }
}

TEST(HexText, BlockHexFormatterWritesThirtyTwoDigitsAndTheTerminator) {
    const std::vector<FormatterCase> cases = {
        {"zeros", std::vector<uint8_t>(16, 0), std::string(32, '0')},
        {"ascending",
         Bytes({0x00, 0x0A, 0xAB, 0xFF, 0x10, 0x9F, 0xC0, 0x05, 0x5C, 0x11, 0x22, 0x33, 0x44,
                0x55, 0x66, 0x77}),
         "000AABFF109FC0055C11223344556677"},
    };
    for (const auto& c : cases) {
        OutBuffer out(33);
        BlockHexFormatter(c.bytes.data(), out.data());
        EXPECT_TRUE(out.Holds(c.text)) << c.what;
    }
}

TEST(HexText, RunOfZeroOrFewerBytesIsTheEmptyText) {
    const uint8_t byte = 0x5C;
    for (int32_t count : {0, -1, -2147483647 - 1}) {
        OutBuffer out(1);
        HexRunFormatter(&byte, count, out.data());
        EXPECT_TRUE(out.Holds("")) << "count " << count;
    }
    OutBuffer one(3);
    HexRunFormatter(&byte, 1, one.data());
    EXPECT_TRUE(one.Holds("5C"));
}

TEST(HexText, RunEqualsItsBlockTextsJoinedInOrder) {
    const Card card = Card::Sample();
    for (int blocks : {3, 20}) {
        OutBuffer run(32 * blocks + 1);
        HexRunFormatter(card.history.data(), 16 * blocks, run.data());
        std::string joined;
        for (int n = 0; n < blocks; ++n) {
            OutBuffer block(33);
            BlockHexFormatter(&card.history[16 * n], block.data());
            joined += std::string(block.data(), 32);
        }
        EXPECT_TRUE(run.Holds(joined)) << blocks << " blocks";
        EXPECT_TRUE(run.Holds(Hex(card.history.data(), 16 * static_cast<size_t>(blocks)))) << blocks << " blocks";
    }
}

TEST(HexText, OverwritesEarlierTextFromIndexZero) {
    OutBuffer out(7);
    std::memcpy(out.data(), "ZZZZZZ", 7);
    const uint8_t bytes[] = {0xAB, 0x01};
    HexRunFormatter(bytes, 2, out.data());
    EXPECT_EQ(std::string(out.data()), "AB01");
    EXPECT_EQ(out.data()[5], 'Z');  // nothing written past the terminator
}

TEST(HexText, NullOutputIsSkipped) {
    const uint8_t bytes[16] = {};
    IdHexFormatter(bytes, nullptr);
    BlockHexFormatter(bytes, nullptr);
    HexRunFormatter(bytes, 16, nullptr);
    TerminateAt(nullptr, 32);
    EXPECT_EQ(TextAt(nullptr, 32), nullptr);
}

}  // namespace
