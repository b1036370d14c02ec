// The one-shot exports: every exit of the bracket, with the calls made and
// what each output holds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "reading_exports.h"

namespace {

using testing::ElementsAreArray;

const std::string R20(20, 'R');

struct Answer {
    Op op;
    int nth;
    int32_t value;
};

// What an output holds afterwards: nullopt is untouched.
using Text = std::optional<std::string>;

struct OneShotCase {
    const char* what;
    std::vector<Answer> answers;
    int32_t result;
    std::string calls;
    Text idm;
    Text pmm;
    Text block;
};

void RunCases(const ReadingExport& e, const std::vector<OneShotCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(e.name + ": " + c.what);
        FakeReader reader;
        for (const Answer& a : c.answers) reader.Answer(a.op, a.nth, a.value);
        Outputs out = e.MakeOutputs();
        EXPECT_EQ(e.Call(out), c.result);
        EXPECT_THAT(reader.ops(), ElementsAreArray(Ops(c.calls)));
        EXPECT_TRUE(c.idm ? out.idm.Holds(*c.idm) : out.idm.Untouched());
        if (e.pmm_size) {
            EXPECT_TRUE(c.pmm ? out.pmm.Holds(*c.pmm) : out.pmm.Untouched());
        }
        if (e.block_size) {
            EXPECT_TRUE(c.block ? out.block.Holds(*c.block) : out.block.Untouched());
        }
    }
}

const ReadingExport& Export(const std::string& name) {
    for (const auto& e : ReadingExports())
        if (e.name == name) return e;
    throw std::logic_error(name);
}

const Card card = Card::Sample();
const std::string idm = IdmText(card);

TEST(OneShot, GetFelicaIDm) {
    const std::string pmm = PmmText(card);
    RunCases(Export("GetFelicaIDm"), {
        {"success", {}, 1, "IOPCD", idm, pmm, {}},
        {"initialize fails", {{Op::Initialize, 0, 0}}, -10, "I", {}, {}, {}},
        {"open fails", {{Op::Open, 0, 0}}, -11, "IO", {}, {}, {}},
        {"polling fails", {{Op::Poll, 0, 0}}, -12, "IOPCD", {}, {}, {}},
        {"polling fails, then close and dispose too",
         {{Op::Poll, 0, 0}, {Op::Close, 0, 0}, {Op::Dispose, 0, 0}}, -12, "IOPCD", {}, {}, {}},
        {"close fails", {{Op::Close, 0, 0}}, -13, "IOPC", idm, pmm, {}},
        {"close and dispose fail", {{Op::Close, 0, 0}, {Op::Dispose, 0, 0}}, -13, "IOPC", idm, pmm, {}},
        {"dispose fails", {{Op::Dispose, 0, 0}}, -14, "IOPCD", idm, pmm, {}},
    });
}

TEST(OneShot, GetSuicaRecord) {
    const std::string block = HistoryBlockText(card, kRecordBlock);
    RunCases(Export("GetSuicaRecord"), {
        {"success", {}, 1, "IOPRCD", idm, {}, block},
        {"initialize fails", {{Op::Initialize, 0, 0}}, -10, "I", {}, {}, {}},
        {"open fails", {{Op::Open, 0, 0}}, -11, "IO", {}, {}, {}},
        {"polling fails", {{Op::Poll, 0, 0}}, -12, "IOPCD", {}, {}, {}},
        {"read fails", {{Op::ReadBlock, 0, 0}}, -15, "IOPRCD", idm, {}, {}},
        {"read fails, then close and dispose too",
         {{Op::ReadBlock, 0, 0}, {Op::Close, 0, 0}, {Op::Dispose, 0, 0}}, -15, "IOPRCD", idm, {}, {}},
        {"close fails", {{Op::Close, 0, 0}}, -13, "IOPRC", idm, {}, block},
        {"dispose fails", {{Op::Dispose, 0, 0}}, -14, "IOPRCD", idm, {}, block},
    });
}

TEST(OneShot, GetSuicaRecordAll) {
    const std::string all = HistoryText(card);
    RunCases(Export("GetSuicaRecordAll"), {
        {"success", {}, 1, "IOP" + R20 + "CD", idm, {}, all},
        // The history text is emptied before anything else, whatever follows.
        {"initialize fails", {{Op::Initialize, 0, 0}}, -10, "I", {}, {}, ""},
        {"open fails", {{Op::Open, 0, 0}}, -11, "IO", {}, {}, ""},
        {"polling fails", {{Op::Poll, 0, 0}}, -12, "IOPCD", {}, {}, ""},
        {"read of block 0 fails", {{Op::ReadBlock, 0, 0}}, -15, "IOPRCD", idm, {}, ""},
        {"read of block 7 fails", {{Op::ReadBlock, 7, 0}}, -15, "IOP" + std::string(8, 'R') + "CD",
         idm, {}, HistoryText(card, 7)},
        {"read of block 19 fails, then close and dispose too",
         {{Op::ReadBlock, 19, 0}, {Op::Close, 0, 0}, {Op::Dispose, 0, 0}}, -15, "IOP" + R20 + "CD",
         idm, {}, HistoryText(card, 19)},
        {"close fails", {{Op::Close, 0, 0}}, -13, "IOP" + R20 + "C", idm, {}, all},
        {"dispose fails", {{Op::Dispose, 0, 0}}, -14, "IOP" + R20 + "CD", idm, {}, all},
    });
}

TEST(OneShot, WorksTheSameWhetherOrNotAConnectionIsOpen) {
    FakeReader reader;
    ASSERT_EQ(FelicaRWOpen(), 1);
    Outputs out = Export("GetFelicaIDm").MakeOutputs();
    EXPECT_EQ(Export("GetFelicaIDm").Call(out), 1);
    EXPECT_THAT(reader.ops(), ElementsAreArray(Ops("IOIOPCD")));
}

}  // namespace
